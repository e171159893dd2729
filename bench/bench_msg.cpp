// Serialising and parsing messages: a long-form application change (what the
// client sends on every switch of application or document) and the smallest
// message there is.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "base/ByteArray.h"
#include "base/Msg.h"

namespace {

Msg applicationChange() {
    Msg msg;
    msg.setType(Msg::APPLICATION_CHANGE);
    msg.setAttributeValue(L"UserID", 104233);
    msg.setAttributeValue(L"TavelUsername", std::wstring(L"jane.doe@example-corporation.com"));
    msg.setAttributeValue(L"EmailAddress", std::wstring(L"jane.doe@example-corporation.com"));
    msg.setAttributeValue(L"MachineName", std::wstring(L"WS-FINANCE-0142"));
    msg.setAttributeValue(L"MachineDomain", std::wstring(L"EXAMPLECORP"));
    msg.setAttributeValue(L"ContextString1",
                          std::wstring(L"Quarterly budget review \u2014 R\u00e9sum\u00e9 of cost centres 2024.docx"));
    msg.setAttributeValue(L"ContextString2", std::wstring(L"C:\\Users\\jane.doe\\Documents\\Finance\\Budget"));
    msg.setAttributeValue(L"ContextString3", std::wstring());
    msg.setAttributeValue(L"OriginalFilename", std::wstring(L"Writer.exe"));
    msg.setAttributeValue(L"FileDescription", std::wstring(L"Example Writer"));
    msg.setAttributeValue(L"InternalName", std::wstring(L"Writer"));
    msg.setAttributeValue(L"FileVersion", std::wstring(L"16.0.17126.20132"));
    msg.setAttributeValue(L"ProductName", std::wstring(L"Example Office Suite"));
    msg.setAttributeValue(L"ProductVersion", std::wstring(L"16.0.17126.20132"));
    msg.setAttributeValue(L"CompanyName", std::wstring(L"Example Software Corporation"));
    msg.setAttributeValue(L"FilePath",
                          std::wstring(L"C:\\Program Files\\Example\\Office Suite\\Writer.exe"));
    std::vector<uint8_t> hash(20), icon(1024);
    for (size_t i = 0; i < hash.size(); ++i)
        hash[i] = static_cast<uint8_t>(i * 37 + 11);
    for (size_t i = 0; i < icon.size(); ++i)
        icon[i] = static_cast<uint8_t>(i * 13);
    msg.setAttributeValue(L"ApplicationHash", new ByteArray(hash.data(), 20));
    msg.setAttributeValue(L"Icon", new ByteArray(icon.data(), 1024));
    return msg;
}

Msg minimal() {
    Msg msg;
    msg.setType(Msg::PLUGIN_INFO);
    return msg;
}

void serialise(benchmark::State& state, const Msg& msg) {
    ByteArray out;
    for (auto _ : state) {
        msg.toByteArray(out);
        benchmark::DoNotOptimize(out.getData());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * out.getSize());
    state.counters["wire_bytes"] = out.getSize();
}

void parse(benchmark::State& state, const Msg& msg) {
    ByteArray wire;
    msg.toByteArray(wire);
    for (auto _ : state) {
        Msg parsed;
        parsed.fromByteArray(wire);
        benchmark::DoNotOptimize(&parsed);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * wire.getSize());
    state.counters["wire_bytes"] = wire.getSize();
}

void BM_ToByteArray_ApplicationChange(benchmark::State& state) { serialise(state, applicationChange()); }
void BM_FromByteArray_ApplicationChange(benchmark::State& state) { parse(state, applicationChange()); }
void BM_ToByteArray_Minimal(benchmark::State& state) { serialise(state, minimal()); }
void BM_FromByteArray_Minimal(benchmark::State& state) { parse(state, minimal()); }

BENCHMARK(BM_ToByteArray_ApplicationChange);
BENCHMARK(BM_FromByteArray_ApplicationChange);
BENCHMARK(BM_ToByteArray_Minimal);
BENCHMARK(BM_FromByteArray_Minimal);

} // namespace

BENCHMARK_MAIN();
