#include "platform/media/MediaCommand.h"

#include <QRegularExpression>

namespace {

MediaCommand::Verb verbOf(const QString &word)
{
    static const struct {
        const char *name;
        MediaCommand::Verb verb;
    } verbs[] = {
        {"open", MediaCommand::Verb::Open},     {"close", MediaCommand::Verb::Close},
        {"record", MediaCommand::Verb::Record}, {"stop", MediaCommand::Verb::Stop},
        {"play", MediaCommand::Verb::Play},     {"seek", MediaCommand::Verb::Seek},
        {"status", MediaCommand::Verb::Status}, {"save", MediaCommand::Verb::Save},
    };
    for (const auto &v : verbs) {
        if (word.compare(QLatin1String(v.name), Qt::CaseInsensitive) == 0)
            return v.verb;
    }
    return MediaCommand::Verb::Unknown;
}

}  // namespace

QString MediaCommand::unquote(const QString &text)
{
    const QString t = text.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('"')) && t.endsWith(QLatin1Char('"')))
        return t.mid(1, t.size() - 2);
    return t;
}

MediaCommand MediaCommand::parse(const QString &text)
{
    MediaCommand c;
    const QString t = text.trimmed();
    const int space = t.indexOf(QRegularExpression(QStringLiteral("\\s")));
    if (space < 0)
        return c;  // a verb alone addresses nothing
    c.verb = verbOf(t.left(space));
    const QString rest = t.mid(space).trimmed();

    if (c.verb == Verb::Open) {
        // The last " TYPE " and " ALIAS " are the keywords, so an unquoted
        // path may hold spaces (and even those words).
        static const QRegularExpression withType(
            QStringLiteral("^(.*\\S)\\s+type\\s+(\\S+)\\s+alias\\s+(\\S+)$"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression aliasOnly(
            QStringLiteral("^(.*\\S)\\s+alias\\s+(\\S+)$"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
        QRegularExpressionMatch m = withType.match(rest);
        if (m.hasMatch()) {
            c.device = unquote(m.captured(1));
            c.type = m.captured(2);
            c.alias = m.captured(3);
        } else if ((m = aliasOnly.match(rest)).hasMatch()) {
            c.device = unquote(m.captured(1));
            c.alias = m.captured(2);
        } else {
            c.device = unquote(rest);
        }
        return c;
    }

    const int aliasEnd = rest.indexOf(QRegularExpression(QStringLiteral("\\s")));
    c.alias = aliasEnd < 0 ? rest : rest.left(aliasEnd);
    const QString after = aliasEnd < 0 ? QString() : rest.mid(aliasEnd).trimmed();
    if (c.verb == Verb::Save) {
        c.path = unquote(after);
        return c;
    }
    if (!after.isEmpty())
        c.words = after.toLower().split(QRegularExpression(QStringLiteral("\\s+")));
    return c;
}
