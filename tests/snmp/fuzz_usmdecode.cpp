// Mutated version 3 datagrams through the engine's checks and the scoped PDU decoder: every
// input must fail or pass cleanly, never read out of bounds. A fixed-seed run the suite does
// every time; the sanitizer build makes an overread fatal.
#include "usmtesthelpers.h"

#include <QRandomGenerator>

#include <cstdio>
#include <cstdlib>

namespace {

QByteArray mutate(QByteArray bytes, QRandomGenerator &random)
{
    switch (random.bounded(4)) {
    case 0:
        bytes.truncate(random.bounded(bytes.size()));
        break;
    case 1:
        for (int i = 0, n = 1 + random.bounded(4); i < n; ++i)
            bytes[random.bounded(bytes.size())] = char(random.bounded(256));
        break;
    case 2: // a length byte made huge or off by one
        for (int i = 0; i < bytes.size(); ++i) {
            if (random.bounded(8) == 0 && i + 1 < bytes.size()) {
                bytes[i + 1] = char(random.bounded(2) ? 0x84 : quint8(bytes[i + 1]) + 1);
                break;
            }
        }
        break;
    default:
        bytes.resize(random.bounded(200));
        random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        break;
    }
    return bytes;
}

[[noreturn]] void fail(const char *why)
{
    std::fprintf(stderr, "%s\n", why);
    std::abort();
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 20'000;
    QRandomGenerator random(argc > 2 ? quint32(std::atoi(argv[2])) : 4711u);
    UsmEngine engine(99999);
    if (!engine.addUser("u1", usm::Auth::Sha1, "pass12345", usm::Priv::Aes128, "pass67890"))
        fail("user refused");

    const quint8 authPriv = SnmpV3Flag::Auth | SnmpV3Flag::Priv | SnmpV3Flag::Reportable;
    const QByteArray secured = securedGet(engine.engineId(), engine.boots(), engine.time(), "u1",
                                          authPriv, usm::Auth::Sha1, usm::Priv::Aes128);
    const UsmEngine::Outcome good = engine.receive(secured);
    if (!good.request || good.request->pdu.MessageNumber != 42)
        fail(qPrintable("well-formed request refused: " + good.reason));

    const QByteArray plain = securedGet(engine.engineId(), 0, 0, "u1", SnmpV3Flag::Reportable,
                                        usm::Auth::None, usm::Priv::None);
    SnmpV3Message decoded = decodeV3Message(plain).value();
    const QList<QByteArray> seeds{secured, plain, encodeScopedPdu(decoded)};
    for (int i = 0; i < runs; ++i) {
        const QByteArray input = mutate(seeds[random.bounded(seeds.size())], random);
        engine.receive(input);
        SnmpV3Message target;
        if (decodeScopedPdu(input, target))
            decodePdu(target.pdu);
    }
    std::printf("%d inputs checked without fault\n", runs);
    return 0;
}
