// How long reading a connection file takes: the INI image, the record, and the
// credential decoding the connect sequence does. The start-up step runs these
// once, so the figures matter only against the time a user waits for a window.
#include <benchmark/benchmark.h>

#include <string>

#include "infra/IniImage.h"
#include "launch/ConnectionFileReader.h"
#include "launch/CredentialCodec.h"

namespace {

std::string TypicalFile() {
    return "[Farm]\r\nFarmName=Sales\r\nFarmprotocol=HTTP/1.1\r\nFarmHost=portal:8080\r\nFarmPort=8080\r\n"
           "UserName=616E6E\r\nPassWord=736563726574\r\nSessionID=SID00001234\r\n"
           "[Session]\r\nRedirect_drive=1\r\nRedirect_audio=1\r\nWidth=1024\r\nHeight=768\r\nColor=4\r\n"
           "Screen_FULL=3\r\nShareSession=1\r\n"
           "[Application]\r\nApp_id=APP0001\r\nApp_name=Word\r\nApp_type_mode=2\r\n"
           "[Server]\r\nServer_Address=127.0.0.1:3389\r\nLogin_User=" +
           kiv::EncodeCredential("ann") + "\r\nLogin_PassWord=" + kiv::EncodeCredential("secret") +
           "\r\nKivShellPath=" + kiv::EncodeShellPath("c:\\shell\\kivshell.exe") + "\r\n";
}

void BM_IniImageFromText(benchmark::State& state) {
    const std::string text = TypicalFile();
    for (auto _ : state) benchmark::DoNotOptimize(kiv::TIniImage::FromText(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_IniImageFromText);

void BM_LargeIniImage(benchmark::State& state) {
    std::string text = "[S]\n";
    for (int i = 0; i < state.range(0); ++i) text += "key" + std::to_string(i) + "=value " + std::to_string(i) + "\n";
    for (auto _ : state) benchmark::DoNotOptimize(kiv::TIniImage::FromText(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LargeIniImage)->Arg(1000)->Arg(100000);

void BM_ReadConnectionFile(benchmark::State& state) {
    const auto ini = kiv::TIniImage::FromText(TypicalFile());
    for (auto _ : state) {
        kiv::TKIVFile record;
        benchmark::DoNotOptimize(kiv::ReadConnectionFile(&ini, record));
    }
}
BENCHMARK(BM_ReadConnectionFile);

void BM_DecodeCredential(benchmark::State& state) {
    const std::string stored = kiv::EncodeCredential(std::string(64, 'x'));
    for (auto _ : state) benchmark::DoNotOptimize(kiv::DecodeCredential(stored));
}
BENCHMARK(BM_DecodeCredential);

}  // namespace
