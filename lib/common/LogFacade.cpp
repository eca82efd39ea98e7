#include "common/LogFacade.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <memory>

#include "common/LoadedLogger.h"

namespace ov {

// Entry points of the logging library, looked up once it is loaded. The table is published
// through one atomic pointer: racing threads may both look it up, the first to publish wins and
// the other's copy is dropped, so readers always see a complete table.
struct BrlogTable {
  bool secondGeneration = false;
  brlogInitFunction_fn initFunction = nullptr;
  brlogEnterFunction_fn enterFunction = nullptr;
  brlogLeaveFunction_fn leaveFunction = nullptr;
  brlogOutput_fn output = nullptr;
  brlogParameter_fn parameter = nullptr;
  brLogEnterFunction_PrepareEx_fn enterPrepareEx = nullptr;
  brLogEnterFunction_Prepare_fn enterPrepare = nullptr;
  brLogEnterFunction_Execute_fn enterExecute = nullptr;
  brLogLeaveFunction_Prepare_fn leavePrepare = nullptr;
  brLogLeaveFunction_Execute_fn leaveExecute = nullptr;
  brLogOutput_Prepare_fn outputPrepare = nullptr;
  brLogOutput_Execute_fn outputExecute = nullptr;
  brLogBuffer_fn buffer = nullptr;
  brLogNumber_fn number = nullptr;
};

namespace {

std::atomic<const BrlogTable*> g_table{nullptr};

// The process's load generation when the last lookup found no logging library. The lookup is
// repeated only after another library was loaded, where the platform can tell that cheaply.
std::atomic<unsigned long long> g_loadsAtLastMiss{kUnknownLoadGeneration};

template <class Fn>
Fn Symbol(void* module, const char* name) {
  return reinterpret_cast<Fn>(LoggerSymbol(module, name));
}

const BrlogTable* BindTable() noexcept {
  void* module = FindLoadedLogger();
  if (module == nullptr) return nullptr;

  auto table = std::unique_ptr<BrlogTable>(new (std::nothrow) BrlogTable);
  if (!table) return nullptr;
  BrlogTable& t = *table;
  t.initFunction = Symbol<brlogInitFunction_fn>(module, "brlogInitFunction");
  if (t.initFunction == nullptr) return nullptr;  // without it logging stays off; retry later
  t.enterFunction = Symbol<brlogEnterFunction_fn>(module, "brlogEnterFunction");
  t.leaveFunction = Symbol<brlogLeaveFunction_fn>(module, "brlogLeaveFunction");
  t.output = Symbol<brlogOutput_fn>(module, "brlogOutput");
  t.parameter = Symbol<brlogParameter_fn>(module, "brlogParameter");
  t.enterPrepareEx = Symbol<brLogEnterFunction_PrepareEx_fn>(module, "brLogEnterFunction_PrepareEx");
  t.enterPrepare = Symbol<brLogEnterFunction_Prepare_fn>(module, "brLogEnterFunction_Prepare");
  t.enterExecute = Symbol<brLogEnterFunction_Execute_fn>(module, "brLogEnterFunction_Execute");
  t.leavePrepare = Symbol<brLogLeaveFunction_Prepare_fn>(module, "brLogLeaveFunction_Prepare");
  t.leaveExecute = Symbol<brLogLeaveFunction_Execute_fn>(module, "brLogLeaveFunction_Execute");
  t.outputPrepare = Symbol<brLogOutput_Prepare_fn>(module, "brLogOutput_Prepare");
  t.outputExecute = Symbol<brLogOutput_Execute_fn>(module, "brLogOutput_Execute");
  t.buffer = Symbol<brLogBuffer_fn>(module, "brLogBuffer");
  t.number = Symbol<brLogNumber_fn>(module, "brLogNumber");
  t.secondGeneration = (t.enterPrepare == nullptr);

  const BrlogTable* expected = nullptr;
  if (g_table.compare_exchange_strong(expected, table.get(), std::memory_order_acq_rel)) {
    return table.release();  // lives as long as the process, like the loaded library
  }
  return expected;
}

const BrlogTable* LookUpTable() noexcept {
  const unsigned long long loads = LoadGeneration();
  if (loads != kUnknownLoadGeneration &&
      loads == g_loadsAtLastMiss.load(std::memory_order_relaxed)) {
    return nullptr;
  }
  const BrlogTable* table = BindTable();
  if (table == nullptr) g_loadsAtLastMiss.store(loads, std::memory_order_relaxed);
  return table;
}

const BrlogTable* Table() noexcept {
  const BrlogTable* table = g_table.load(std::memory_order_acquire);
  return table != nullptr ? table : LookUpTable();
}

}  // namespace

LogScope::LogScope(const char* module, const char* function) noexcept
    : m_context{8, 0, &m_result} {
  m_table = Table();
  if (m_table == nullptr) {
    m_context.result = nullptr;
    return;
  }
  const BrlogTable& t = *m_table;
  if (t.secondGeneration) {
    t.initFunction(&m_context, module, function, &m_result, 0);
    if (m_context.result != nullptr && t.enterFunction) t.enterFunction(&m_context);
    return;
  }
  m_context.handle = t.enterPrepareEx ? t.enterPrepareEx(0, module, function, 0)
                                      : t.enterPrepare(module, function, 0);
  if (t.enterExecute) t.enterExecute(m_context.handle);
}

LogScope::~LogScope() {
  if (m_context.result == nullptr) return;
  const BrlogTable& t = *m_table;
  if (t.secondGeneration) {
    if (t.leaveFunction) t.leaveFunction(&m_context);
    return;
  }
  const int32_t value = *m_context.result;
  if (t.leavePrepare) t.leavePrepare(m_context.handle, value);
  if (t.leaveExecute) t.leaveExecute(m_context.handle, value);
}

void LogScope::Value(const char* name, uint32_t kind, int32_t value) noexcept {
  if (m_context.result == nullptr) return;
  const BrlogTable& t = *m_table;
  if (t.secondGeneration) {
    if (t.parameter) t.parameter(&m_context, name, kind & 0xFFu, kind >> 16, 0, &value, 4);
  } else if (t.number) {
    t.number(m_context.handle, name, kind, value);
  }
}

void LogScope::Text(const char* name, const char* text) noexcept {
  if (m_context.result == nullptr) return;
  Text(name, text ? std::string_view(text) : std::string_view());
}

void LogScope::Text(const char* name, std::string_view text) noexcept {
  if (m_context.result == nullptr) return;
  const BrlogTable& t = *m_table;
  const auto length = static_cast<uint32_t>(text.size());
  if (t.secondGeneration) {
    if (t.parameter) t.parameter(&m_context, name, BRLOG_KIND_NARROW, 0, 0, text.data(), length);
  } else if (t.buffer) {
    t.buffer(m_context.handle, name, BRLOG_KIND_NARROW, text.data(), length);
  }
}

void LogScope::Wide(const char* name, const wchar_t* text) noexcept {
  if (m_context.result == nullptr) return;
  const BrlogTable& t = *m_table;
  const auto length = static_cast<uint32_t>(text ? std::wcslen(text) : 0);
  if (t.secondGeneration) {
    if (t.parameter) t.parameter(&m_context, name, BRLOG_KIND_WIDE, 0, 0, text, length);
  } else if (t.buffer) {
    t.buffer(m_context.handle, name, BRLOG_KIND_WIDE, text, length);
  }
}

void LogScope::Message(const char* text) noexcept {
  if (m_context.result == nullptr || text == nullptr) return;
  const BrlogTable& t = *m_table;
  if (t.secondGeneration) {
    if (t.output) t.output(&m_context, text);
    return;
  }
  if (t.outputPrepare) t.outputPrepare(m_context.handle, text);
  if (t.outputExecute) t.outputExecute(m_context.handle, text);
}

}  // namespace ov
