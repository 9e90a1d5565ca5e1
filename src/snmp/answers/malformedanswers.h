#pragma once

#include "snmp/answers/rowbehaviour.h"

#include <QByteArray>

struct SnmpMessage;

// How each kind of malformed answer is made from a good one: by changing the message before it
// is encoded (and secured), the bytes that go out, or how often they go.
enum class SpoiledPart { Message, Bytes, Sending };
SpoiledPart spoiledPart(MalformedKind kind);
// False when the answer has nothing the kind could spoil: no binding with a value, or none to
// leave out.
bool spoilMessage(SnmpMessage &answer, MalformedKind kind);
// Cuts the datagram to half its size, or makes its outermost length one more than the bytes
// after it; false for the other kinds and for bytes too short to spoil.
bool spoilBytes(QByteArray &datagram, MalformedKind kind);
// How many times the answer goes out.
int answerCopies(MalformedKind kind);
