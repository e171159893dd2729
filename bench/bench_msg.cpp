// Serialising and parsing messages: a long-form application change (what the
// client sends on every switch of application or document) and the smallest
// message there is.
//
// Each codec benchmark also runs a protobuf message of three maps holding the
// same content for the same number of iterations, and reports the ratio as the
// counter "vs_protobuf": protobuf's time over ours, so above 1 means ours is
// faster. Both sides are timed in this thread's processor time, so that other
// load on the machine weighs on neither. The BM_Protobuf_* rows give
// protobuf's own figures.
#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "base/Msg.h"
#include "base/Utf16.h"
#include "bench_msg.pb.h"

namespace {

using Proto = ondrivex::bench::MapMessage;

// Processor time this thread has used, in seconds.
double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

Msg applicationChange()
{
    Msg msg;
    msg.setType(Msg::APPLICATION_CHANGE);
    msg.setAttributeValue(L"UserID", 104233);
    msg.setAttributeValue(L"TavelUsername", std::wstring(L"jane.doe@example-corporation.com"));
    msg.setAttributeValue(L"EmailAddress", std::wstring(L"jane.doe@example-corporation.com"));
    msg.setAttributeValue(L"MachineName", std::wstring(L"WS-FINANCE-0142"));
    msg.setAttributeValue(L"MachineDomain", std::wstring(L"EXAMPLECORP"));
    msg.setAttributeValue(
        L"ContextString1",
        std::wstring(L"Quarterly budget review \u2014 R\u00e9sum\u00e9 of cost centres 2024.docx"));
    msg.setAttributeValue(L"ContextString2",
                          std::wstring(L"C:\\Users\\jane.doe\\Documents\\Finance\\Budget"));
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

Msg minimal()
{
    Msg msg;
    msg.setType(Msg::PLUGIN_INFO);
    return msg;
}

// The protobuf message with the same attributes (text as UTF-8, protobuf's
// form for strings).
Proto toProto(const Msg& msg)
{
    Proto proto;
    // DataStore hands out values by index but not names; walk the wire form.
    ByteArray wire;
    msg.toByteArray(wire);
    int32_t position = 8;
    for (;;) {
        int32_t intValue = 0;
        std::wstring name, text;
        ByteArray* bytes = nullptr;
        Msg::DataType type;
        if (!Msg::getNextElement(wire, position, intValue, name, bytes, type))
            break;
        Msg::getNextElement(wire, position, intValue, text, bytes, type);
        const std::string key = Utf16::toUtf8(name);
        switch (type) {
        case Msg::IntegerData:
            (*proto.mutable_ints())[key] = intValue;
            break;
        case Msg::StringData:
            (*proto.mutable_strings())[key] = Utf16::toUtf8(text);
            break;
        case Msg::ByteArrayData:
            (*proto.mutable_byte_arrays())[key] =
                std::string(reinterpret_cast<const char*>(bytes->getData()),
                            static_cast<size_t>(bytes->getSize()));
            delete bytes;
            break;
        }
    }
    return proto;
}

// Times n runs of body.
template <class Body>
double secondsFor(int64_t n, Body body)
{
    double start = threadSeconds();
    for (int64_t i = 0; i < n; ++i)
        body();
    return threadSeconds() - start;
}

// Runs ours under the benchmark's loop, then the protobuf counterpart as
// many times, and reports protobuf's time over ours.
template <class Ours, class Theirs>
void compare(benchmark::State& state, Ours ours, Theirs theirs)
{
    double start = threadSeconds();
    for (auto _ : state)
        ours();
    double oursSeconds = threadSeconds() - start;
    double theirSeconds = secondsFor(state.iterations(), theirs);
    state.counters["vs_protobuf"] = oursSeconds > 0 ? theirSeconds / oursSeconds : 0;
    state.SetItemsProcessed(state.iterations());
}

void encode(benchmark::State& state, const Msg& msg)
{
    const Proto proto = toProto(msg);
    ByteArray out;
    std::string theirs;
    compare(
        state,
        [&] {
            msg.toByteArray(out);
            benchmark::DoNotOptimize(out.getData());
        },
        [&] {
            proto.SerializeToString(&theirs);
            benchmark::DoNotOptimize(theirs.data());
        });
    state.counters["wire_bytes"] = out.getSize();
    state.counters["protobuf_bytes"] = static_cast<double>(theirs.size());
}

void decodeFresh(benchmark::State& state, const Msg& msg)
{
    ByteArray wire;
    msg.toByteArray(wire);
    const std::string theirs = toProto(msg).SerializeAsString();
    compare(
        state,
        [&] {
            Msg parsed;
            parsed.fromByteArray(wire);
            benchmark::DoNotOptimize(&parsed);
        },
        [&] {
            Proto parsed;
            parsed.ParseFromString(theirs);
            benchmark::DoNotOptimize(&parsed);
        });
    state.counters["wire_bytes"] = wire.getSize();
}

// One message object parses every copy: the attributes are replaced in place.
void decodeReused(benchmark::State& state, const Msg& msg)
{
    ByteArray wire;
    msg.toByteArray(wire);
    const std::string theirs = toProto(msg).SerializeAsString();
    Msg parsed;
    Proto parsedProto;
    compare(
        state,
        [&] {
            parsed.fromByteArray(wire);
            benchmark::DoNotOptimize(&parsed);
        },
        [&] {
            parsedProto.ParseFromString(theirs);
            benchmark::DoNotOptimize(&parsedProto);
        });
    state.counters["wire_bytes"] = wire.getSize();
}

void protobufEncode(benchmark::State& state, const Msg& msg)
{
    const Proto proto = toProto(msg);
    std::string out;
    for (auto _ : state) {
        proto.SerializeToString(&out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["protobuf_bytes"] = static_cast<double>(out.size());
}

void protobufDecodeFresh(benchmark::State& state, const Msg& msg)
{
    const std::string wire = toProto(msg).SerializeAsString();
    for (auto _ : state) {
        Proto parsed;
        parsed.ParseFromString(wire);
        benchmark::DoNotOptimize(&parsed);
    }
}

void protobufDecodeReused(benchmark::State& state, const Msg& msg)
{
    const std::string wire = toProto(msg).SerializeAsString();
    Proto parsed;
    for (auto _ : state) {
        parsed.ParseFromString(wire);
        benchmark::DoNotOptimize(&parsed);
    }
}

void BM_ToByteArray_ApplicationChange(benchmark::State& s)
{
    encode(s, applicationChange());
}
void BM_FromByteArray_ApplicationChange(benchmark::State& s)
{
    decodeFresh(s, applicationChange());
}
void BM_FromByteArrayReused_ApplicationChange(benchmark::State& s)
{
    decodeReused(s, applicationChange());
}
void BM_ToByteArray_Minimal(benchmark::State& s)
{
    encode(s, minimal());
}
void BM_FromByteArray_Minimal(benchmark::State& s)
{
    decodeFresh(s, minimal());
}
void BM_FromByteArrayReused_Minimal(benchmark::State& s)
{
    decodeReused(s, minimal());
}

void BM_Protobuf_Encode_ApplicationChange(benchmark::State& s)
{
    protobufEncode(s, applicationChange());
}
void BM_Protobuf_DecodeFresh_ApplicationChange(benchmark::State& s)
{
    protobufDecodeFresh(s, applicationChange());
}
void BM_Protobuf_DecodeReused_ApplicationChange(benchmark::State& s)
{
    protobufDecodeReused(s, applicationChange());
}
void BM_Protobuf_Encode_Minimal(benchmark::State& s)
{
    protobufEncode(s, minimal());
}
void BM_Protobuf_DecodeFresh_Minimal(benchmark::State& s)
{
    protobufDecodeFresh(s, minimal());
}
void BM_Protobuf_DecodeReused_Minimal(benchmark::State& s)
{
    protobufDecodeReused(s, minimal());
}

BENCHMARK(BM_ToByteArray_ApplicationChange);
BENCHMARK(BM_FromByteArray_ApplicationChange);
BENCHMARK(BM_FromByteArrayReused_ApplicationChange);
BENCHMARK(BM_ToByteArray_Minimal);
BENCHMARK(BM_FromByteArray_Minimal);
BENCHMARK(BM_FromByteArrayReused_Minimal);
BENCHMARK(BM_Protobuf_Encode_ApplicationChange);
BENCHMARK(BM_Protobuf_DecodeFresh_ApplicationChange);
BENCHMARK(BM_Protobuf_DecodeReused_ApplicationChange);
BENCHMARK(BM_Protobuf_Encode_Minimal);
BENCHMARK(BM_Protobuf_DecodeFresh_Minimal);
BENCHMARK(BM_Protobuf_DecodeReused_Minimal);

} // namespace

BENCHMARK_MAIN();
