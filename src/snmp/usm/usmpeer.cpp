#include "usmpeer.h"

#include "snmp/usm/usmkeys.h"

namespace {

Result<std::shared_ptr<usm::Hmac>> hmacFor(const UsmUser &user, const QByteArray &engineId)
{
    Result<QByteArray> key = usm::localizeKey(user.auth, user.master->auth, engineId);
    if (!key)
        return key.failure();
    auto hmac = std::make_shared<usm::Hmac>(user.auth, key.value());
    usm::wipe(key.value());
    if (!hmac->isValid())
        return failure(QStringLiteral("the authentication protocol is unavailable"));
    return hmac;
}

Result<std::shared_ptr<usm::Cipher>> cipherFor(const UsmUser &user, const QByteArray &engineId)
{
    Result<QByteArray> local = usm::localizeKey(user.auth, user.master->priv, engineId);
    if (!local)
        return local.failure();
    Result<QByteArray> key = usm::privacyKey(user.auth, user.priv, local.value());
    usm::wipe(local.value());
    if (!key)
        return key.failure();
    auto cipher = std::make_shared<usm::Cipher>(user.priv, key.value());
    usm::wipe(key.value());
    if (!cipher->isValid())
        return failure(QStringLiteral("the privacy protocol is unavailable"));
    return cipher;
}

} // namespace

UsmPeer::UsmPeer(const UsmUser &user, quint8 flags)
    : m_user(user), m_flags(flags & (SnmpV3Flag::Auth | SnmpV3Flag::Priv))
{
    // The keys the user has are the local engine's: none of them fits another.
    m_user.hmac.reset();
    m_user.cipher.reset();
}

QByteArray UsmPeer::discoveryRequest(qint32 messageId, qint32 requestId)
{
    SnmpMessage get;
    get.version = SnmpVersion::V2c;
    get.Type = SnmpPdu::V2cBase + SnmpPdu::GetRequest;
    get.MessageNumber = requestId;
    SnmpV3Message message;
    message.messageId = messageId;
    message.flags = SnmpV3Flag::Reportable;
    message.pdu = encodePdu(get).value();
    return encodeV3Message(message, 0).bytes;
}

Status UsmPeer::learn(const UsmParameters &reported)
{
    if (reported.engineId.isEmpty())
        return failure(QStringLiteral("the report names no engine"));
    if (reported.engineId != m_engineId) {
        UsmUser keyed = m_user;
        if (m_flags & SnmpV3Flag::Auth) {
            Result<std::shared_ptr<usm::Hmac>> hmac = hmacFor(m_user, reported.engineId);
            if (!hmac)
                return hmac.failure();
            keyed.hmac = hmac.value();
        }
        if (m_flags & SnmpV3Flag::Priv) {
            Result<std::shared_ptr<usm::Cipher>> cipher = cipherFor(m_user, reported.engineId);
            if (!cipher)
                return cipher.failure();
            keyed.cipher = cipher.value();
        }
        ++m_localizations;
        m_user = std::move(keyed);
        m_engineId = reported.engineId;
    }
    m_boots = reported.boots;
    m_time = reported.time;
    m_learnt.start();
    return {};
}

Result<QByteArray> UsmPeer::secure(const SnmpMessage &pdu, qint32 messageId)
{
    if (!knowsEngine())
        return failure(QStringLiteral("the receiver's engine is not known yet"));
    SnmpV3Message message;
    message.messageId = messageId;
    message.flags = m_flags | SnmpV3Flag::Reportable;
    message.usm = {m_engineId,  m_boots, m_time + quint32(m_learnt.elapsed() / 1000),
                   m_user.name, {},      {}};
    message.contextEngineId = m_engineId;
    return secureMessage(std::move(message), pdu, &m_user, m_scratch);
}

Result<UsmPeer::Answer> UsmPeer::open(QByteArrayView datagram)
{
    Result<SnmpV3Message> decoded = decodeV3Message(datagram);
    if (!decoded)
        return decoded.failure();
    SnmpV3Message &message = decoded.value();
    if (message.flags & SnmpV3Flag::Auth) {
        if (!m_user.hmac || message.usm.engineId != m_engineId ||
            message.usm.userName != m_user.name ||
            !m_user.hmac->verify(datagram, message.authenticationOffset,
                                 message.usm.authentication))
            return failure(QStringLiteral("wrong digest"));
    }
    if (message.flags & SnmpV3Flag::Priv) {
        if (!m_user.cipher ||
            !m_user.cipher->decrypt(message.usm.boots, message.usm.time, message.usm.privacy,
                                    message.encryptedPdu, m_scratch) ||
            !decodeScopedPdu(m_scratch, message))
            return failure(QStringLiteral("decryption error"));
    }
    Result<SnmpMessage> pdu = decodePdu(message.pdu);
    if (!pdu)
        return pdu.failure();
    return Answer{std::move(message), std::move(pdu.value())};
}
