// With -fsanitize=fuzzer and VELMOR_LIBFUZZER a libFuzzer target; otherwise a fixed-seed run
// the suite does every time.
#include "snmpmutations.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What decodes must encode, and the encoding must decode to the same bytes again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<SnmpMessage> message = decodeMessage(input);
    if (!message)
        return 0;
    const Result<QByteArray> encoded = encodeMessage(message.value());
    if (!encoded)
        std::abort();
    const Result<SnmpMessage> again = decodeMessage(encoded.value());
    if (!again || encodeMessage(again.value()).value() != encoded.value())
        std::abort();
    return 0;
}

#ifndef VELMOR_LIBFUZZER
int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 200'000;
    SnmpMutations mutations(argc > 2 ? quint32(std::atoi(argv[2])) : 4711u);
    for (int i = 0; i < runs; ++i) {
        const QByteArray input = mutations.next();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()),
                               size_t(input.size()));
    }
    std::printf("%d inputs decoded without fault\n", runs);
    return 0;
}
#endif
