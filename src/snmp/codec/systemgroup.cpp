#include "systemgroup.h"

namespace SystemGroup {
namespace {

constexpr char Group[] = {0x2b, 6, 1, 2, 1, 1}; // 1.3.6.1.2.1.1
constexpr qsizetype GroupSize = sizeof Group;

} // namespace

QByteArrayView content(int number)
{
    static const char contents[Objects][GroupSize + 2] = {
        {0x2b, 6, 1, 2, 1, 1, 1, 0}, {0x2b, 6, 1, 2, 1, 1, 2, 0}, {0x2b, 6, 1, 2, 1, 1, 3, 0},
        {0x2b, 6, 1, 2, 1, 1, 4, 0}, {0x2b, 6, 1, 2, 1, 1, 5, 0}, {0x2b, 6, 1, 2, 1, 1, 6, 0},
        {0x2b, 6, 1, 2, 1, 1, 7, 0}};
    return QByteArrayView(contents[number - 1], GroupSize + 2);
}

const QString &oid(int number)
{
    static const QString oids[Objects] = {
        QStringLiteral("1.3.6.1.2.1.1.1.0"), QStringLiteral("1.3.6.1.2.1.1.2.0"),
        QStringLiteral("1.3.6.1.2.1.1.3.0"), QStringLiteral("1.3.6.1.2.1.1.4.0"),
        QStringLiteral("1.3.6.1.2.1.1.5.0"), QStringLiteral("1.3.6.1.2.1.1.6.0"),
        QStringLiteral("1.3.6.1.2.1.1.7.0")};
    return oids[number - 1];
}

int numberOf(QByteArrayView content, bool shortForm)
{
    if (content.size() < GroupSize + 1 || content.size() > GroupSize + 2 ||
        !content.startsWith(QByteArrayView(Group, GroupSize)))
        return 0;
    const int number = content[GroupSize];
    if (number < 1 || number > Objects)
        return 0;
    if (content.size() == GroupSize + 1)
        return shortForm ? number : 0;
    return content[GroupSize + 1] == 0 ? number : 0;
}

} // namespace SystemGroup
