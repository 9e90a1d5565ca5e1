// Mutated version 3 datagrams through the engine's checks and the scoped PDU decoder: every
// input must fail or pass cleanly, never read out of bounds. A fixed-seed run the suite does
// every time; the sanitizer build makes an overread fatal.
#include "support/requests.h"
#include "support/securedrequests.h"

#include "snmp/codec/snmpv3message.h"
#include "snmp/usm/usmengine.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 20'000;
    QRandomGenerator random(argc > 2 ? quint32(std::atoi(argv[2])) : 4711u);
    UsmEngine engine(99999);
    if (!engine.addUser("u1", usm::Auth::Sha1, "pass12345", usm::Priv::Aes128, "pass67890"))
        qFatal("user refused");
    const SnmpMessage get = makeRequest(64, {"1.3.6.1.2.1.1.5.0"}, {}, 42);
    const ManagerUser u1 = managerUser("u1", engine.engineId(), usm::Auth::Sha1, "pass12345",
                                       usm::Priv::Aes128, "pass67890");
    const QByteArray secured = securedMessage(get, 7, SnmpV3Flag::Auth | SnmpV3Flag::Priv, u1,
                                              engine.engineId(), engine.boots(), engine.time());
    const QByteArray plain =
        securedMessage(get, 7, SnmpV3Flag::Reportable, managerUser("u1", {}, usm::Auth::None, {}),
                       engine.engineId(), 0, 0);
    const QList<QByteArray> seeds{secured, plain, encodeScopedPdu(decodeV3Message(plain).value())};
    for (int i = 0; i < runs; ++i) {
        const QByteArray input = mutated(seeds[random.bounded(seeds.size())], random);
        engine.receive(input);
        SnmpV3Message target;
        if (decodeScopedPdu(input, target))
            decodePdu(target.pdu);
    }
    std::printf("%d inputs checked without fault\n", runs);
    return 0;
}
