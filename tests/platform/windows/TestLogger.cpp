// A second-generation logging library for the Windows tests, built as brisel.dll. It keeps what it
// receives as lines of text in memory, which the test reads back through TestLoggerText():
//
//   enter <module> <function>
//   <function>: <message>
//   <function>: <name> = <value>
//   leave <function> <result>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "common/brlog_abi.h"

#define EXPORT extern "C" __declspec(dllexport)

namespace {

struct Call {
  std::string module;
  std::string function;
};

std::mutex g_mutex;
std::vector<Call> g_calls;
std::string g_text;

const Call& CallOf(const brlog_Context* ctx) { return g_calls.at(ctx->handle); }

void Line(const std::string& line) { g_text += line + "\n"; }

}  // namespace

EXPORT void brlogInitFunction(brlog_Context* ctx, const char* module, const char* function,
                              int32_t*, uint32_t) {
  std::lock_guard lock(g_mutex);
  ctx->handle = g_calls.size();
  g_calls.push_back({module, function});
}

EXPORT void brlogEnterFunction(brlog_Context* ctx) {
  std::lock_guard lock(g_mutex);
  Line("enter " + CallOf(ctx).module + " " + CallOf(ctx).function);
}

EXPORT void brlogLeaveFunction(brlog_Context* ctx) {
  std::lock_guard lock(g_mutex);
  Line("leave " + CallOf(ctx).function + " " + std::to_string(*ctx->result));
}

EXPORT void brlogOutput(brlog_Context* ctx, const char* text) {
  std::lock_guard lock(g_mutex);
  Line(CallOf(ctx).function + ": " + text);
}

EXPORT void brlogParameter(brlog_Context* ctx, const char* name, uint32_t kind, uint32_t, uint32_t,
                           const void* data, uint32_t length) {
  std::lock_guard lock(g_mutex);
  std::string value;
  if (kind == BRLOG_KIND_NARROW) {
    value = "\"" + std::string(static_cast<const char*>(data), length) + "\"";
  } else if (kind == BRLOG_KIND_WIDE) {
    const auto* wide = static_cast<const wchar_t*>(data);
    value = "L\"";
    for (uint32_t i = 0; i < length; ++i)
      value += wide[i] < 0x80 ? static_cast<char>(wide[i]) : '?';
    value += "\"";
  } else {
    value = std::to_string(*static_cast<const int32_t*>(data));
  }
  Line(CallOf(ctx).function + ": " + name + " = " + value);
}

EXPORT const char* TestLoggerText() {
  std::lock_guard lock(g_mutex);
  return g_text.c_str();
}
