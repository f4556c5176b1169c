#include "core/ServerFile.h"

#include "core/AppInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <optional>

namespace tallyra::ServerFile {

namespace {

QString defaultPath(Page page)
{
    switch (page) {
    case Page::Portal:
        return QStringLiteral("/qv/index.php?ver=") + AppInfo::versionDigits();
    case Page::Tis:
        return QStringLiteral("/teacher/signform.asp");
    case Page::Help:
        return QStringLiteral("/html/document.html");
    case Page::School:
        return QStringLiteral("/employee.htm");
    }
    return {};
}

bool validMail(const QString &mail)
{
    static const QRegularExpression shape(QStringLiteral("^[^@\\s<>\"]+@[^@\\s<>\"]+\\.[^@\\s<>\"]+$"));
    return shape.match(mail).hasMatch();
}

} // namespace

QString pageUrl(Page page, const QString &address, QString *why)
{
    const auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return QString();
    };
    const QString value = address.trimmed();
    if (value.isEmpty())
        return fail(QStringLiteral("沒有填寫位址"));
    if (value.contains(QRegularExpression(QStringLiteral("\\s"))))
        return fail(QStringLiteral("位址中不可以有空白"));
    const bool hasScheme = value.contains(QStringLiteral("://"));
    QUrl url(hasScheme ? value : QStringLiteral("http://") + value, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty())
        return fail(QStringLiteral("不是有效的網址"));
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return fail(QStringLiteral("網址必須以 http:// 或 https:// 開頭"));
    if (!hasScheme && (!url.path().isEmpty() || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty()))
        return fail(QStringLiteral("沒有 http:// 或 https:// 的位址只能寫主機名稱和連接埠"));
    if ((url.path().isEmpty() || url.path() == QLatin1String("/")) && !url.hasQuery() && !url.hasFragment()) {
        QString base = url.toString(QUrl::RemovePath | QUrl::FullyEncoded);
        return base + defaultPath(page);
    }
    return url.toString(QUrl::FullyEncoded);
}

ServerAddresses onServer(const QString &address, const QString &authorMail)
{
    ServerAddresses a;
    a.portal = pageUrl(Page::Portal, address);
    a.tis = pageUrl(Page::Tis, address);
    a.help = pageUrl(Page::Help, address);
    a.school = pageUrl(Page::School, address);
    a.authorMail = authorMail;
    return a;
}

Result parse(const QByteArray &contents, const ServerAddresses &defaults)
{
    Result result{defaults, {}};
    struct Key {
        const char *name;
        QString ServerAddresses::*field;
        std::optional<Page> page;
        bool seen = false;
    };
    Key keys[] = {{"portal", &ServerAddresses::portal, Page::Portal},
                  {"tis", &ServerAddresses::tis, Page::Tis},
                  {"help", &ServerAddresses::help, Page::Help},
                  {"school", &ServerAddresses::school, Page::School},
                  {"author_mail", &ServerAddresses::authorMail, std::nullopt}};

    QString group;
    const QList<QByteArray> lines = contents.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray raw = lines[i];
        if (i == 0 && raw.startsWith("\xEF\xBB\xBF"))
            raw.remove(0, 3); // a byte order mark left by Windows editors
        const QString text = QString::fromUtf8(raw).trimmed();
        const auto problem = [&](const QString &why) { result.problems.push_back({int(i + 1), text, why}); };
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')) || text.startsWith(QLatin1Char(';')))
            continue;
        if (text.contains(QChar::ReplacementCharacter)) {
            problem(QStringLiteral("不是 UTF-8 文字"));
            continue;
        }
        if (text.startsWith(QLatin1Char('['))) {
            if (!text.endsWith(QLatin1Char(']'))) {
                problem(QStringLiteral("群組名稱缺少「]」"));
                group = QStringLiteral("?");
                continue;
            }
            group = text.mid(1, text.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        if (eq < 0) {
            problem(QStringLiteral("不是「名稱 = 位址」的格式"));
            continue;
        }
        if (group == QLatin1String("?"))
            continue; // already reported with its header
        if (group != QLatin1String("servers")) {
            problem(QStringLiteral("不在 [servers] 群組中"));
            continue;
        }
        const QString name = text.left(eq).trimmed();
        QString value = text.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        Key *key = nullptr;
        for (Key &k : keys) {
            if (name == QLatin1String(k.name))
                key = &k;
        }
        if (!key) {
            problem(QStringLiteral("沒有「%1」這個名稱").arg(name));
            continue;
        }
        if (key->seen) {
            problem(QStringLiteral("「%1」前面已經設定過，這一行沒有使用").arg(name));
            continue;
        }
        QString why;
        QString used;
        if (key->page) {
            used = pageUrl(*key->page, value, &why);
        } else if (validMail(value)) {
            used = value;
        } else {
            why = QStringLiteral("不是有效的電子郵件地址");
        }
        if (used.isEmpty()) {
            problem(why);
            continue;
        }
        key->seen = true;
        result.addresses.*(key->field) = used;
    }
    return result;
}

Result read(const QString &path, const ServerAddresses &defaults)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {defaults, {}};
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        return {defaults, {{0, {}, QStringLiteral("無法讀取這個檔案")}}};
    return parse(file.readAll(), defaults);
}

Result forRun(const QString &path, const ServerAddresses &defaults, const QString &testServer)
{
    Result result = read(path, defaults);
    if (!testServer.isEmpty())
        result.addresses = onServer(testServer, result.addresses.authorMail);
    return result;
}

QString problemMessage(const QString &path, const QVector<Problem> &problems)
{
    if (problems.isEmpty())
        return {};
    QString text = QStringLiteral("伺服器設定檔 %1 有以下內容無法使用，這些項目改用程式內建的位址：").arg(path);
    for (const Problem &p : problems) {
        text += QStringLiteral("\r\n");
        if (p.line > 0)
            text += QStringLiteral("第 %1 行「%2」：").arg(p.line).arg(p.text);
        text += p.why;
    }
    return text;
}

} // namespace tallyra::ServerFile
