#include "usmengine.h"

#include "snmp/codec/snmpvalue.h"
#include "snmp/usm/usmcipher.h"
#include "snmp/usm/usmkeys.h"

#include <QRandomGenerator>

namespace {

constexpr quint32 MaxBoots = 0x7fffffff;
constexpr quint32 TimeWindow = 150;
constexpr int UnsupportedSecLevels = 1;
constexpr int NotInTimeWindows = 2;
constexpr int UnknownUserNames = 3;
constexpr int UnknownEngineIds = 4;
constexpr int WrongDigests = 5;
constexpr int DecryptionErrors = 6;

constexpr char UnknownPduHandlers[] = "1.3.6.1.6.3.11.2.1.3.0";
constexpr char UnknownContexts[] = "1.3.6.1.6.3.12.1.5.0";
constexpr quint8 PduTagBase = 0xa0;

// Request id of a plain PDU, for a report to echo; zero when it cannot be read.
qint32 requestIdOf(const SnmpV3Message &message)
{
    if (message.pdu.isEmpty())
        return 0;
    const Result<SnmpMessage> pdu = decodePdu(message.pdu);
    return pdu ? pdu.value().MessageNumber : 0;
}

// Get, GetNext, Set, GetBulk and Inform ask for an answer; Response, Trap, Trapv2 and Report
// never do.
bool isConfirmed(int pdu)
{
    return pdu == SnmpPdu::GetRequest || pdu == SnmpPdu::GetNextRequest ||
           pdu == SnmpPdu::SetRequest || pdu == SnmpPdu::GetBulkRequest ||
           pdu == SnmpPdu::InformRequest;
}

// Reports go only where the sender asked for them, and never to a PDU that can be read and
// asks for no answer.
bool wantsReport(const SnmpV3Message &message)
{
    if (!(message.flags & SnmpV3Flag::Reportable))
        return false;
    return message.pdu.isEmpty() || isConfirmed(quint8(message.pdu[0]) - PduTagBase);
}

} // namespace

UsmEngine::UsmEngine(quint32 enterprise, quint32 boots) : m_boots(boots)
{
    // Enterprise with the top bit set, then format 5: octets the administrator chose.
    for (int shift = 24; shift >= 0; shift -= 8)
        m_engineId.append(char((enterprise | 0x80000000u) >> shift));
    m_engineId.append(char(5));
    for (int i = 0; i < 2; ++i) {
        const quint32 random = QRandomGenerator::system()->generate();
        m_engineId.append(reinterpret_cast<const char *>(&random), sizeof random);
    }
    m_clock.start();
}

quint32 UsmEngine::time() const
{
    return quint32(qMin<qint64>(m_clock.elapsed() / 1000, MaxBoots));
}

Status UsmEngine::addUser(const QByteArray &name, usm::Auth auth, const QByteArray &authPassphrase,
                          usm::Priv priv, const QByteArray &privPassphrase, bool mayWrite)
{
    if (name.isEmpty() || name.size() > 32)
        return failure(QStringLiteral("user names are 1 to 32 octets"));
    if (priv != usm::Priv::None && auth == usm::Auth::None)
        return failure(QStringLiteral("privacy needs authentication"));
    if (!usm::available(priv))
        return failure(QStringLiteral("DES is unavailable: this system's OpenSSL has no legacy "
                                      "provider"));
    UsmUser user{name, auth, priv, mayWrite, {}, {}, {}};
    auto master = std::make_shared<UsmMasterKeys>();
    // The keys live on only inside the keyed contexts, and as the master keys.
    if (auth != usm::Auth::None) {
        Result<QByteArray> ku = usm::passwordToKey(auth, authPassphrase);
        if (!ku)
            return ku.failure();
        master->auth = std::move(ku.value());
        Result<QByteArray> key = usm::localizeKey(auth, master->auth, m_engineId);
        if (!key)
            return key.failure();
        user.hmac = std::make_shared<usm::Hmac>(auth, key.value());
        usm::wipe(key.value());
        if (!user.hmac->isValid())
            return failure(QStringLiteral("the authentication protocol is unavailable"));
    }
    if (priv != usm::Priv::None) {
        Result<QByteArray> ku = usm::passwordToKey(auth, privPassphrase);
        if (!ku)
            return ku.failure();
        master->priv = std::move(ku.value());
        Result<QByteArray> local = usm::localizeKey(auth, master->priv, m_engineId);
        if (!local)
            return local.failure();
        Result<QByteArray> key = usm::privacyKey(auth, priv, local.value());
        usm::wipe(local.value());
        if (!key)
            return key.failure();
        user.cipher = std::make_shared<usm::Cipher>(priv, key.value());
        usm::wipe(key.value());
        if (!user.cipher->isValid())
            return failure(QStringLiteral("the privacy protocol is unavailable"));
    }
    user.master = std::move(master);
    // A user edited keeps its place in the list.
    for (UsmUser &existing : m_users) {
        if (existing.name == name) {
            existing = user;
            return {};
        }
    }
    m_users.append(user);
    return {};
}

bool UsmEngine::removeUser(const QByteArray &name)
{
    return m_users.removeIf([&](const UsmUser &u) { return u.name == name; }) > 0;
}

bool UsmEngine::setMayWrite(const QByteArray &name, bool mayWrite)
{
    for (UsmUser &user : m_users) {
        if (user.name == name) {
            user.mayWrite = mayWrite;
            return true;
        }
    }
    return false;
}

const UsmUser *UsmEngine::findUser(const QByteArray &name) const
{
    for (const UsmUser &user : m_users) {
        if (user.name == name)
            return &user;
    }
    return nullptr;
}

UsmEngine::Outcome UsmEngine::receive(QByteArrayView datagram)
{
    Outcome out;
    Result<SnmpV3Message> decoded = decodeV3Message(datagram);
    if (!decoded) {
        const int fault = decoded.failure().number;
        if (fault == MessageFault::UnknownSecurityModel)
            ++m_mpd.unknownSecurityModels;
        else if (fault == MessageFault::InvalidFlags)
            ++m_mpd.invalidMsgs;
        else
            out.parseError = true;
        out.reason = decoded.failure().description;
        return out;
    }
    SnmpV3Message &message = decoded.value();
    const auto refuse = [&](quint32 &counter, int arc, const char *why,
                            const UsmUser *authenticateAs = nullptr) {
        ++counter;
        out.reason = QString::fromLatin1(why);
        if (wantsReport(message))
            out.report = report(message, requestIdOf(message), arc, counter, authenticateAs);
        return out;
    };
    if (message.usm.engineId != m_engineId)
        return refuse(m_stats.unknownEngineIds, UnknownEngineIds, "unknown engine ID");
    const UsmUser *user = findUser(message.usm.userName);
    out.authenticationFailure = !user;
    if (!user)
        return refuse(m_stats.unknownUserNames, UnknownUserNames, "unknown user name");
    const bool wantsAuth = message.flags & SnmpV3Flag::Auth;
    const bool wantsPriv = message.flags & SnmpV3Flag::Priv;
    if ((wantsAuth && user->auth == usm::Auth::None) ||
        (wantsPriv && user->priv == usm::Priv::None))
        return refuse(m_stats.unsupportedSecLevels, UnsupportedSecLevels,
                      "security level not supported for the user");
    if (wantsAuth) {
        out.authenticationFailure =
            !user->hmac->verify(datagram, message.authenticationOffset, message.usm.authentication);
        if (out.authenticationFailure)
            return refuse(m_stats.wrongDigests, WrongDigests, "wrong digest");
        const quint32 now = time();
        const quint32 distance =
            message.usm.time > now ? message.usm.time - now : now - message.usm.time;
        if (m_boots == MaxBoots || message.usm.boots != m_boots || distance > TimeWindow)
            return refuse(m_stats.notInTimeWindows, NotInTimeWindows, "not in time window", user);
    }
    if (wantsPriv) {
        if (!user->cipher->decrypt(message.usm.boots, message.usm.time, message.usm.privacy,
                                   message.encryptedPdu, m_plain) ||
            !decodeScopedPdu(m_plain, message))
            return refuse(m_stats.decryptionErrors, DecryptionErrors, "decryption error");
    }
    Result<SnmpMessage> pdu = decodePdu(message.pdu);
    if (!pdu) {
        out.parseError = pdu.failure().number == MessageFault::Malformed;
        out.reason = pdu.failure().description;
        return out;
    }
    return dispatch(Request{std::move(message), std::move(pdu.value()), *user}, std::move(out));
}

UsmEngine::Outcome UsmEngine::dispatch(Request request, Outcome out)
{
    const int type = request.pdu.pdu();
    // A response or report answers nothing this engine asked.
    if (type == SnmpPdu::Response || type == SnmpPdu::Report) {
        out.reason = QStringLiteral("no request outstanding");
        return out;
    }
    const SnmpV3Message &message = request.message;
    const bool reportable = (message.flags & SnmpV3Flag::Reportable) && isConfirmed(type);
    // Requests to this engine (or to the engine that answers, left empty) find their handler;
    // notifications and other engines' contexts find none.
    const bool handled =
        type != SnmpPdu::InformRequest && type != SnmpPdu::V2Trap &&
        (message.contextEngineId.isEmpty() || message.contextEngineId == m_engineId);
    quint32 *counter = nullptr;
    const char *oid = nullptr;
    if (!handled) {
        counter = &m_mpd.unknownPduHandlers;
        oid = UnknownPduHandlers;
        out.reason = QStringLiteral("no handler for the PDU in that context engine");
    } else if (!message.contextName.isEmpty()) {
        // One context only, the default.
        counter = &m_mpd.unknownContexts;
        oid = UnknownContexts;
        out.reason = QStringLiteral("unknown context");
    } else {
        out.request = std::move(request);
        return out;
    }
    ++*counter;
    if (reportable) {
        const Result<QByteArray> report = reportOn(request, QLatin1String(oid), *counter);
        if (report)
            out.report = report.value();
    }
    return out;
}

bool meetsUserLevel(const UsmEngine::Request &request)
{
    const quint8 flags = request.message.flags;
    return (request.user.auth == usm::Auth::None || (flags & SnmpV3Flag::Auth)) &&
           (request.user.priv == usm::Priv::None || (flags & SnmpV3Flag::Priv));
}

Result<QByteArray> UsmEngine::respond(const Request &request, const SnmpMessage &response) const
{
    SnmpV3Message message;
    message.messageId = request.message.messageId;
    message.flags = request.message.flags & (SnmpV3Flag::Auth | SnmpV3Flag::Priv);
    message.usm.userName = request.user.name;
    message.contextEngineId = request.message.contextEngineId;
    message.contextName = request.message.contextName;
    return secure(message, response, &request.user);
}

Result<QByteArray> UsmEngine::reportOn(const Request &request, const QString &oid,
                                       quint32 value) const
{
    SnmpMessage pdu;
    pdu.version = SnmpVersion::V2c;
    pdu.Type = SnmpPdu::V2cBase + SnmpPdu::Report;
    pdu.MessageNumber = request.pdu.MessageNumber;
    const Result<SnmpVariable> counter =
        SnmpVariable::make(oid, SnmpType::Counter32, QString::number(value));
    if (!counter)
        return counter.failure();
    pdu.Variables.append(counter.value());
    // A report speaks for this engine, whatever context the message named.
    Request reporting = request;
    reporting.message.contextEngineId = m_engineId;
    return respond(reporting, pdu);
}

QByteArray UsmEngine::report(const SnmpV3Message &request, qint32 requestId, int counterArc,
                             quint32 value, const UsmUser *authenticateAs) const
{
    SnmpMessage pdu;
    pdu.version = SnmpVersion::V2c;
    pdu.Type = SnmpPdu::V2cBase + SnmpPdu::Report;
    pdu.MessageNumber = requestId;
    const QString oid = QStringLiteral("1.3.6.1.6.3.15.1.1.%1.0").arg(counterArc);
    pdu.Variables.append(
        SnmpVariable::make(oid, SnmpType::Counter32, QString::number(value)).value());
    SnmpV3Message message;
    message.messageId = request.messageId;
    message.flags = authenticateAs ? SnmpV3Flag::Auth : 0;
    message.usm.userName = request.usm.userName;
    message.contextEngineId = m_engineId;
    message.contextName = request.contextName;
    const Result<QByteArray> secured = secure(message, pdu, authenticateAs);
    return secured ? secured.value() : QByteArray();
}

Result<QByteArray> UsmEngine::notify(const UsmUser &user, quint8 flags, qint32 messageId,
                                     const SnmpMessage &pdu) const
{
    SnmpV3Message message;
    message.messageId = messageId;
    message.flags = flags & (SnmpV3Flag::Auth | SnmpV3Flag::Priv);
    message.usm.userName = user.name;
    message.contextEngineId = m_engineId;
    return secure(message, pdu, &user);
}

Result<QByteArray> UsmEngine::secure(SnmpV3Message message, const SnmpMessage &pdu,
                                     const UsmUser *user) const
{
    message.usm.engineId = m_engineId;
    message.usm.boots = m_boots;
    message.usm.time = time();
    return secureMessage(std::move(message), pdu, user, m_plain);
}

UsmMasterKeys::~UsmMasterKeys()
{
    usm::wipe(auth);
    usm::wipe(priv);
}

Result<QByteArray> secureMessage(SnmpV3Message message, const SnmpMessage &pdu, const UsmUser *user,
                                 QByteArray &scratch)
{
    const Result<PduSize> pduSize = measurePdu(pdu);
    if (!pduSize)
        return pduSize.failure();
    const qsizetype pduBytes = pduSize.value().element();
    const qsizetype scopedSize = scopedPduSize(message, pduBytes);
    const bool encrypted = message.flags & SnmpV3Flag::Priv;
    const bool authenticated = message.flags & SnmpV3Flag::Auth;
    if (encrypted)
        message.usm.privacy = QByteArray(usm::saltLength(user->priv), '\0');
    const int digestLength = authenticated ? user->hmac->length() : 0;
    // Written once, in place: the scoped PDU (encrypted from a scratch copy when private), the
    // salt, then the digest over the whole with its own place still zero.
    EncodedV3 out = layoutV3Message(
        message, digestLength, encrypted ? user->cipher->encryptedSize(scopedSize) : scopedSize);
    char *const bytes = out.bytes.data();
    if (encrypted) {
        scratch.resize(scopedSize);
        writePdu(writeScopedPduHead(scratch.data(), message, pduBytes), pdu, pduSize.value());
        if (!user->cipher->encrypt(message.usm.boots, message.usm.time, scratch,
                                   bytes + out.dataOffset, bytes + out.privacyOffset))
            return failure(QStringLiteral("encryption failed"));
    } else {
        writePdu(writeScopedPduHead(bytes + out.dataOffset, message, pduBytes), pdu,
                 pduSize.value());
    }
    if (authenticated && !user->hmac->sign(out.bytes, -1, bytes + out.authenticationOffset))
        return failure(QStringLiteral("authentication failed"));
    return out.bytes;
}
