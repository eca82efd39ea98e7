// libbrisel.so (brisel.dll on Windows): a diagnostic log sink for the Orvanti library and front ends. It exports the
// second-generation (context based) logging interface and appends one readable line per event to
// the file named by BRISEL_LOG; without that variable it does nothing. Nested calls are indented,
// so a trace reads as a call tree:
//
//   [4242.4242 libovcore] OV_InitializeA enter
//   [4242.4242 libovcore] OV_InitializeA   uniqueId = "KLSA_GA_8_2"
//   [4242.4242 libovcore]   OVHelper::OVHelper_Initialize enter
//   ...
//   [4242.4242 libovcore] OV_InitializeA leave 0
//
// Each line is written with one write on a file opened for appending (O_APPEND, FILE_APPEND_DATA),
// so lines of several threads or processes never interleave within a line.
#ifdef _WIN32
#include <windows.h>
#define BRISEL_EXPORT __declspec(dllexport)
#else
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>
#define BRISEL_EXPORT __attribute__((visibility("default")))
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>

#include "common/brlog_abi.h"

namespace {

struct Call {
  const char* module;
  const char* function;
  int depth;
};

thread_local int t_depth = 0;

#ifdef _WIN32
// The process's environment, not a C runtime's copy of it.
HANDLE LogHandle() {
  static HANDLE handle = [] {
    char path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("BRISEL_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return INVALID_HANDLE_VALUE;
    return CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }();
  return handle;
}

bool HasLogFile() { return LogHandle() != INVALID_HANDLE_VALUE; }

void WriteLine(const std::string& line) {
  DWORD written = 0;
  WriteFile(LogHandle(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }
long ThreadId() { return static_cast<long>(GetCurrentThreadId()); }
#else
int LogFile() {
  static int fd = [] {
    const char* path = std::getenv("BRISEL_LOG");
    if (path == nullptr || *path == '\0') return -1;
    return open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  }();
  return fd;
}

bool HasLogFile() { return LogFile() >= 0; }

void WriteLine(const std::string& line) {
  ssize_t ignored = write(LogFile(), line.data(), line.size());
  (void)ignored;
}

long ProcessId() { return static_cast<long>(getpid()); }
long ThreadId() { return static_cast<long>(syscall(SYS_gettid)); }
#endif

void AppendUtf8(std::string& out, unsigned long c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = '?';
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Quotes a narrow value; control characters and quotes are escaped so a line stays one line.
void AppendQuoted(std::string& out, const char* data, uint32_t length) {
  out += '"';
  for (uint32_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

void Emit(const Call* call, const std::string& text, int extraIndent = 0) {
  if (!HasLogFile()) return;
  char prefix[96];
  std::snprintf(prefix, sizeof prefix, "[%ld.%ld %s] ", ProcessId(), ThreadId(),
                call ? call->module : "?");
  std::string line = prefix;
  line.append(static_cast<size_t>(2 * ((call ? call->depth : 0) + extraIndent)), ' ');
  if (call != nullptr) {
    line += call->function;
    line += ' ';
  }
  line += text;
  line += '\n';
  WriteLine(line);
}

Call* CallOf(brlog_Context* ctx) {
  return ctx ? reinterpret_cast<Call*>(ctx->handle) : nullptr;
}

}  // namespace

extern "C" {

BRISEL_EXPORT void brlogInitFunction(brlog_Context* ctx,
                                                              const char* module,
                                                              const char* function,
                                                              int32_t* result, uint32_t) {
  if (ctx == nullptr) return;
  if (!HasLogFile()) {
    ctx->result = nullptr;  // nothing to write to: the facade skips the rest of this call
    return;
  }
  ctx->result = result;
  ctx->handle = reinterpret_cast<uintptr_t>(
      new Call{module ? module : "?", function ? function : "?", t_depth});
}

BRISEL_EXPORT void brlogEnterFunction(brlog_Context* ctx) {
  Call* call = CallOf(ctx);
  if (call == nullptr) return;
  Emit(call, "enter");
  ++t_depth;
}

BRISEL_EXPORT void brlogLeaveFunction(brlog_Context* ctx) {
  Call* call = CallOf(ctx);
  if (call == nullptr) return;
  t_depth = call->depth;
  Emit(call, "leave " + std::to_string(ctx->result ? *ctx->result : 0));
  delete call;
  ctx->handle = 0;
}

BRISEL_EXPORT void brlogOutput(brlog_Context* ctx, const char* text) {
  Call* call = CallOf(ctx);
  if (call == nullptr || text == nullptr) return;
  std::string line;
  AppendQuoted(line, text, static_cast<uint32_t>(std::strlen(text)));
  Emit(call, "message " + line, 1);
}

BRISEL_EXPORT void brlogParameter(brlog_Context* ctx, const char* name,
                                                           uint32_t kindLow, uint32_t kindHigh,
                                                           uint32_t, const void* data,
                                                           uint32_t length) {
  Call* call = CallOf(ctx);
  if (call == nullptr) return;
  const uint32_t kind = kindLow | (kindHigh << 16);
  std::string line = std::string(name ? name : "?") + " = ";
  if (data == nullptr) {
    line += "(null)";
  } else if (kind == BRLOG_KIND_NARROW) {
    AppendQuoted(line, static_cast<const char*>(data), length);
  } else if (kind == BRLOG_KIND_WIDE) {
    std::string utf8;
    // UTF-32 on Linux; UTF-16 on Windows, where a surrogate pair is one character.
    const auto* wide = static_cast<const wchar_t*>(data);
    for (uint32_t i = 0; i < length; ++i) {
      unsigned long c = static_cast<unsigned long>(wide[i]);
      if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < length &&
          static_cast<unsigned long>(wide[i + 1]) >= 0xDC00 &&
          static_cast<unsigned long>(wide[i + 1]) <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned long>(wide[++i]) - 0xDC00);
      }
      AppendUtf8(utf8, c);
    }
    AppendQuoted(line, utf8.data(), static_cast<uint32_t>(utf8.size()));
  } else if (length >= 4) {
    int32_t value;
    std::memcpy(&value, data, 4);
    char number[32];
    if (kind == BRLOG_KIND_BITMASK) {
      std::snprintf(number, sizeof number, "0%o", static_cast<unsigned>(value));
    } else {
      std::snprintf(number, sizeof number, "%d", value);
    }
    line += number;
  }
  Emit(call, line, 1);
}

}  // extern "C"
