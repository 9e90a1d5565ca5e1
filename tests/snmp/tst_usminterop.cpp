// Against the system's snmpget as the manager: engine discovery, then one secured Get.
#include "snmp/snmpvalue.h"
#include "snmp/usmengine.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

using usm::Auth;
using usm::Priv;

class TstUsmInterop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secureGet_data();
    void secureGet();

private:
    QString m_snmpget;
};

void TstUsmInterop::initTestCase()
{
    m_snmpget = QStandardPaths::findExecutable(QStringLiteral("snmpget"));
    if (m_snmpget.isEmpty())
        QSKIP("snmpget is not installed");
}

void TstUsmInterop::secureGet_data()
{
    QTest::addColumn<Auth>("auth");
    QTest::addColumn<Priv>("priv");
    QTest::addColumn<QStringList>("security");
    QTest::addColumn<QString>("expected");
    // Every hash's key localization and digest length, the AES key extension for
    // short hashes, the DES pre-IV and padding, and a refusal the manager must understand.
    const QString value = QStringLiteral("velmor-v3");
    QTest::newRow("sha256 aes128") << Auth::Sha256 << Priv::Aes128
                                   << QStringList{"-a", "SHA-256", "-x", "AES"} << value;
    QTest::newRow("sha1 aes256") << Auth::Sha1 << Priv::Aes256
                                 << QStringList{"-a", "SHA", "-x", "AES-256"} << value;
    QTest::newRow("md5 aes192") << Auth::Md5 << Priv::Aes192
                                << QStringList{"-a", "MD5", "-x", "AES-192"} << value;
    QTest::newRow("sha384 des") << Auth::Sha384 << Priv::Des
                                << QStringList{"-a", "SHA-384", "-x", "DES"} << value;
    QTest::newRow("sha224 aes192") << Auth::Sha224 << Priv::Aes192
                                   << QStringList{"-a", "SHA-224", "-x", "AES-192"} << value;
    QTest::newRow("sha512 aes256") << Auth::Sha512 << Priv::Aes256
                                   << QStringList{"-a", "SHA-512", "-x", "AES-256"} << value;
    QTest::newRow("sha256 wrong key")
        << Auth::Sha256 << Priv::Des << QStringList{"-a", "SHA-256", "-x", "DES", "-A", "bad-pass"}
        << "Authentication failure";
}

void TstUsmInterop::secureGet()
{
    QFETCH(Auth, auth);
    QFETCH(Priv, priv);
    QFETCH(QStringList, security);
    QFETCH(QString, expected);

    UsmEngine engine(99999, 3);
    QVERIFY(engine.addUser("u1", auth, "pass12345", priv, "pass67890"));
    QUdpSocket socket;
    QVERIFY2(socket.bind(QHostAddress::LocalHost, 0), qPrintable(socket.errorString()));
    int answered = 0;
    connect(&socket, &QUdpSocket::readyRead, this, [&] {
        while (socket.hasPendingDatagrams()) {
            QHostAddress from;
            quint16 port = 0;
            QByteArray datagram(int(socket.pendingDatagramSize()), Qt::Uninitialized);
            datagram.resize(socket.readDatagram(datagram.data(), datagram.size(), &from, &port));
            UsmEngine::Outcome outcome = engine.receive(datagram);
            QByteArray reply = outcome.report;
            if (outcome.request) {
                SnmpMessage response = outcome.request->pdu;
                response.Type = SnmpPdu::V2cBase + SnmpPdu::Response;
                for (SnmpVariable &variable : response.Variables)
                    QVERIFY(variable.setValueAndType("velmor-v3", SnmpType::OctetString));
                reply = engine.respond(*outcome.request, response).value();
                ++answered;
            }
            if (!reply.isEmpty())
                socket.writeDatagram(reply, from, port);
        }
    });

    QTemporaryDir persistent;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SNMP_PERSISTENT_DIR", persistent.path());
    environment.insert("SNMPCONFPATH", persistent.path());
    QProcess manager;
    manager.setProcessEnvironment(environment);
    manager.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{"-v3", "-l", "authPriv", "-u", "u1", "-A", "pass12345",
                          "-X", "pass67890", "-r", "0", "-t", "3", "-On"};
    arguments += security; // later options win
    arguments << QStringLiteral("127.0.0.1:%1").arg(socket.localPort()) << "1.3.6.1.2.1.1.5.0";
    QSignalSpy finished(&manager, &QProcess::finished);
    manager.start(m_snmpget, arguments);
    QVERIFY(finished.wait(15000));
    const QString output = QString::fromLocal8Bit(manager.readAll());
    QVERIFY2(output.contains(expected), qPrintable(output));
    const bool succeeds = expected == QLatin1String("velmor-v3");
    QCOMPARE(answered, succeeds ? 1 : 0);
    QCOMPARE(engine.stats().unknownEngineIds, 1u); // the discovery
    QCOMPARE(engine.stats().wrongDigests, expected.startsWith("Auth") ? 1u : 0u);
}

QTEST_GUILESS_MAIN(TstUsmInterop)
#include "tst_usminterop.moc"
