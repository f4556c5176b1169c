#include "DemoSite.h"

#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace demo {

namespace {

const char kHtml[] = "text/html; charset=utf-8";
const char kCookieName[] = "TISSESSION";

std::string escape(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

const char kStyle[] = R"CSS(
body { font-family: "PMingLiU", "AR PL UMing TW", "Noto Serif CJK TC", serif; margin: 0; background: #f6f6f0; color: #222; }
.banner { background: #24527a; color: #fff; padding: 10px 18px; font-size: 20px; }
.banner small { font-size: 13px; margin-left: 1em; color: #d7e6f5; }
.main { padding: 14px 22px; }
h2 { color: #24527a; font-size: 18px; margin: 6px 0 12px; }
table.grid { border-collapse: collapse; background: #fff; }
table.grid th { background: #dfe9f3; border: 1px solid #9bb3c9; padding: 4px 10px; font-weight: normal; }
table.grid td { border: 1px solid #c3d1de; padding: 3px 10px; }
table.grid tr:nth-child(even) td { background: #f7fafc; }
.notice { background: #e5f4e3; border: 1px solid #8fc28a; color: #2d6a27; padding: 6px 12px; display: inline-block; }
.error { color: #b3261e; }
.news li { margin: 4px 0; }
.menu a { display: block; padding: 4px 0; color: #24527a; }
input.score { width: 4em; text-align: right; }
)CSS";

std::string page(const std::string &title, const std::string &body)
{
    std::ostringstream out;
    out << "<!DOCTYPE html>\n<html lang=\"zh-Hant\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
        << escape(title) << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n"
        << body << "\n</body>\n</html>\n";
    return out.str();
}

std::string portalPage(const std::string &ver)
{
    std::ostringstream body;
    body << "<div class=\"banner\">教師資訊系統 入口網<small>示範學校</small></div>\n<div class=\"main\">\n";
    if (ver == std::to_string(DemoSite::kCurrentVersion))
        body << "<p>您使用的成績輸入程式是最新版本（" << DemoSite::kCurrentVersion << "）。</p>\n";
    else
        body << "<p class=\"error\">您的成績輸入程式版本（" << escape(ver.empty() ? "未知" : ver)
             << "）不是最新版本，最新版本為 " << DemoSite::kCurrentVersion << "，請向資訊組索取。</p>\n";
    body << R"HTML(<h2>最新消息</h2>
<ul class="news">
  <li>【教務處】第一次段考成績請於 11 月 20 日前輸入完畢。</li>
  <li>【教務處】期中評量成績輸入後，請記得按頁面上的儲存按鈕。</li>
  <li>【資訊組】教師資訊系統將於週六 22:00–24:00 進行維護。</li>
  <li>【學務處】導師請於週五前完成學生缺曠登錄。</li>
</ul>
<p><a id="signin" href="/teacher/signform.asp">登入教師資訊系統</a></p>
<p><a href="/html/document.html">成績輸入程式使用說明</a>　｜　<a href="/employee.htm">學校同仁通訊錄</a></p>
</div>)HTML";
    return page("教師資訊系統 入口網", body.str());
}

std::string signInPage(const std::string &message)
{
    std::ostringstream body;
    body << R"HTML(<div class="banner">教師資訊系統<small>請登入</small></div>
<div class="main">
<h2>教師登入</h2>
)HTML";
    if (!message.empty())
        body << "<p class=\"error\">" << escape(message) << "</p>\n";
    body << R"HTML(<form name="signform" method="post" action="/teacher/signform.asp">
<table class="grid">
  <tr><th>帳號</th><td><input type="text" name="account" size="16" autofocus></td></tr>
  <tr><th>密碼</th><td><input type="password" name="password" size="16"></td></tr>
</table>
<p><input type="submit" value="登入"></p>
</form>
</div>)HTML";
    return page("教師資訊系統 登入", body.str());
}

std::string framesetPage()
{
    return R"HTML(<!DOCTYPE html>
<html lang="zh-Hant">
<head><meta charset="utf-8"><title>教師資訊系統</title></head>
<frameset rows="52,*" frameborder="0">
  <frame name="FTOP" src="/teacher/top.asp" scrolling="no">
  <frameset cols="170,*">
    <frame name="FMENU" src="/teacher/menu.asp">
    <frame name="FCONTENT" src="/teacher/welcome.asp">
  </frameset>
</frameset>
</html>
)HTML";
}

std::string gradePage(const SchoolClass &c, const std::map<std::string, std::string> &scores, bool saved)
{
    const bool shared = c.layout == Layout::SharedName;
    std::ostringstream body;
    body << "<div class=\"main\">\n<h2>" << escape(c.name) << " " << escape(c.subject) << " "
         << (shared ? "期中評量" : "第一次段考") << " 成績輸入</h2>\n";
    if (saved)
        body << "<p class=\"notice\" id=\"saved\">已儲存</p>\n";
    body << "<p>請輸入 0 到 100 的整數分數，缺考請留空白。</p>\n"
         << "<form name=\"wlist\" method=\"post\" action=\"/teacher/grade.asp?class=" << escape(c.code) << "\">\n"
         << "<input type=\"hidden\" name=\"mClass\" value=\"" << escape(c.code) << "\">\n"
         << "<table class=\"grid\">\n<tr><th>座號</th><th>學號</th><th>姓名</th><th>成績</th></tr>\n";
    for (const Student &s : c.students) {
        const auto found = scores.find(s.id);
        const std::string value = found == scores.end() ? std::string() : found->second;
        body << "<tr><td>" << s.seat << "</td><td>" << escape(s.id) << "</td><td>" << escape(s.name)
             << "</td><td><input type=\"hidden\" name=\"mStd_id\" value=\"" << escape(s.id) << "\">";
        if (c.savesChangedRowsOnly)
            body << "<input type=\"hidden\" name=\"C" << escape(s.id) << "\" value=\"0\">";
        body
             << "<input type=\"text\" class=\"score\" name=\"" << (shared ? std::string("STD") : "S" + escape(s.id))
             << "\" size=\"5\" maxlength=\"5\" value=\"" << escape(value) << "\"></td></tr>\n";
    }
    body << "</table>\n<p><input type=\"submit\" name=\"btnSave\" value=\""
         << (shared ? "送出期中評量" : "暫時儲存成績") << "\"></p>\n</form>\n</div>";
    // The row's flag goes up only when the page sees its score typed.
    if (c.savesChangedRowsOnly)
        body << "\n<script>\nfor (const t of ['input', 'change'])\n"
                "  document.forms.wlist.addEventListener(t, function (e) {\n"
                "    const flag = e.target.name && e.target.name.charAt(0) === 'S' ? e.target.form['C' + e.target.name.slice(1)] : null;\n"
                "    if (flag) flag.value = '1';\n"
                "  });\n</script>";
    return page(c.name + " " + c.subject + " 成績輸入", body.str());
}

std::string helpPage()
{
    return page("成績輸入程式 使用說明", R"HTML(<div class="banner">Tallyra 成績輸入助手 使用說明</div>
<div class="main">
<h2>一、準備成績冊</h2>
<p>成績冊可以是 Excel（.xls、.xlsx）或 OpenDocument（.ods）檔案。工作表中要有一欄學號、一欄分數，每位學生一列。</p>
<h2>二、開啟成績輸入頁面</h2>
<p>在 Tallyra 中按「回主頁」登入教師資訊系統，從左側選單點選要輸入成績的班級。</p>
<h2>三、匯入成績</h2>
<ol>
  <li>按「匯入成績」，再按「選擇檔案」選取成績冊。</li>
  <li>依序選擇工作表、學號所在的欄、分數所在的欄。</li>
  <li>按「輸入成績」，Tallyra 會依學號把分數填入網頁。</li>
</ol>
<p>找不到的學號、空白、負數、超過 100 或不是數字的分數會列在報告檔 toExcelLog.txt 中，並自動開啟給您檢查。</p>
<h2>四、醒目標示</h2>
<p>不及格的分數會依分數區段以不同顏色標示；顏色與區段可在「選項設定」中調整。按「更新醒目標示」可重新標示。</p>
<h2>五、儲存</h2>
<p>Tallyra 不會替您送出網頁。確認分數無誤後，請按網頁上的「暫時儲存成績」或「送出期中評量」按鈕。</p>
</div>)HTML");
}

std::string staffPage()
{
    return page("學校同仁通訊錄", R"HTML(<div class="banner">示範學校 同仁通訊錄</div>
<div class="main">
<p>入口網暫時無法連線，以下為各處室聯絡方式。</p>
<table class="grid">
<tr><th>處室</th><th>職稱</th><th>姓名</th><th>分機</th></tr>
<tr><td>教務處</td><td>教務主任</td><td>林文華</td><td>201</td></tr>
<tr><td>教務處</td><td>註冊組長</td><td>陳美玲</td><td>203</td></tr>
<tr><td>教務處</td><td>資訊組長</td><td>張志偉</td><td>205</td></tr>
<tr><td>學務處</td><td>學務主任</td><td>黃建國</td><td>301</td></tr>
<tr><td>總務處</td><td>總務主任</td><td>吳淑惠</td><td>401</td></tr>
<tr><td>輔導室</td><td>輔導主任</td><td>劉佳蓉</td><td>501</td></tr>
</table>
</div>)HTML");
}

std::string cookieValue(const std::string &header, const std::string &name)
{
    std::istringstream in(header);
    std::string part;
    while (std::getline(in, part, ';')) {
        part = trim(part);
        if (part.rfind(name + "=", 0) == 0)
            return part.substr(name.size() + 1);
    }
    return {};
}

// The fields of an application/x-www-form-urlencoded body, in order.
std::vector<std::pair<std::string, std::string>> formFields(const std::string &body)
{
    std::vector<std::pair<std::string, std::string>> fields;
    std::istringstream in(body);
    std::string pair;
    while (std::getline(in, pair, '&')) {
        if (pair.empty())
            continue;
        const auto eq = pair.find('=');
        const std::string key = pair.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : pair.substr(eq + 1);
        fields.emplace_back(httplib::detail::decode_url(key, true), httplib::detail::decode_url(value, true));
    }
    return fields;
}

std::string contentType(const std::filesystem::path &file)
{
    const std::string ext = file.extension().string();
    if (ext == ".html" || ext == ".htm")
        return kHtml;
    if (ext == ".css")
        return "text/css; charset=utf-8";
    if (ext == ".js")
        return "text/javascript; charset=utf-8";
    if (ext == ".xml")
        return "application/xml";
    return "text/plain; charset=utf-8";
}

} // namespace

namespace {
std::unique_ptr<httplib::Server> makeServer(const std::string &certificateFile, const std::string &keyFile)
{
    if (certificateFile.empty())
        return std::make_unique<httplib::Server>();
    return std::make_unique<httplib::SSLServer>(certificateFile.c_str(), keyFile.c_str());
}
} // namespace

DemoSite::DemoSite(std::string fixturesFolder, const std::string &certificateFile, const std::string &keyFile)
    : m_server(makeServer(certificateFile, keyFile))
    , m_fixtures(std::move(fixturesFolder))
    , m_classes(demoClasses())
{
    installRoutes();
}

DemoSite::~DemoSite() = default;

bool DemoSite::valid() const { return m_server->is_valid(); }

int DemoSite::bind(int port)
{
    // SO_REUSEADDR alone: the port is free again at once after a run ends
    // (its closed connections wait out TIME_WAIT), yet a second site cannot
    // listen on it beside a running one, as SO_REUSEPORT would allow.
    m_server->set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    if (port == 0)
        m_port = m_server->bind_to_any_port("127.0.0.1");
    else
        m_port = m_server->bind_to_port("127.0.0.1", port) ? port : -1;
    return m_port;
}

void DemoSite::serve() { m_server->listen_after_bind(); }

void DemoSite::stop() { m_server->stop(); }

const SchoolClass *DemoSite::findClass(const std::string &code) const
{
    for (const SchoolClass &c : m_classes)
        if (c.code == code)
            return &c;
    return nullptr;
}

bool DemoSite::signedIn(const std::string &cookieHeader, std::string *account) const
{
    const std::string token = cookieValue(cookieHeader, kCookieName);
    std::lock_guard lock(m_mutex);
    const auto found = m_sessions.find(token);
    if (token.empty() || found == m_sessions.end())
        return false;
    if (account)
        *account = found->second;
    return true;
}

void DemoSite::installRoutes()
{
    using httplib::Request;
    using httplib::Response;
    httplib::Server &s = *m_server;

    s.Get("/", [](const Request &, Response &res) {
        res.set_redirect("/qv/index.php?ver=" + std::to_string(kCurrentVersion));
    });

    s.Get("/qv/index.php", [](const Request &req, Response &res) {
        res.set_content(portalPage(req.get_param_value("ver")), kHtml);
    });

    s.Get("/teacher/signform.asp", [](const Request &, Response &res) {
        res.set_content(signInPage({}), kHtml);
    });

    s.Post("/teacher/signform.asp", [this](const Request &req, Response &res) {
        const std::string account = trim(req.get_param_value("account"));
        const std::string password = req.get_param_value("password");
        if (account.empty() || password.empty()) {
            res.set_content(signInPage("請輸入帳號及密碼。"), kHtml);
            return;
        }
        std::string token;
        {
            std::lock_guard lock(m_mutex);
            token = "s" + std::to_string(m_nextSession++) + "x" + std::to_string(std::hash<std::string>{}(account) % 100000);
            m_sessions[token] = account;
        }
        res.set_header("Set-Cookie", std::string(kCookieName) + "=" + token + "; Path=/; HttpOnly");
        res.set_redirect("/teacher/main.asp", 303);
    });

    const auto requireSignIn = [this](const Request &req, Response &res, std::string *account = nullptr) {
        if (signedIn(req.get_header_value("Cookie"), account))
            return true;
        res.set_redirect("/teacher/signform.asp");
        return false;
    };

    s.Get("/teacher/main.asp", [requireSignIn](const Request &req, Response &res) {
        if (requireSignIn(req, res))
            res.set_content(framesetPage(), kHtml);
    });

    s.Get("/teacher/top.asp", [requireSignIn](const Request &req, Response &res) {
        std::string account;
        if (!requireSignIn(req, res, &account))
            return;
        res.set_content(page("教師資訊系統", "<div class=\"banner\">教師資訊系統<small>" + escape(account)
                                                 + " 老師您好　<a style=\"color:#fff\" href=\"/teacher/signform.asp\" target=\"_top\">登出</a></small></div>"),
                        kHtml);
    });

    s.Get("/teacher/menu.asp", [this, requireSignIn](const Request &req, Response &res) {
        if (!requireSignIn(req, res))
            return;
        std::ostringstream body;
        body << "<div class=\"main menu\">\n<h2>成績輸入</h2>\n";
        for (const SchoolClass &c : m_classes)
            body << "<a id=\"class" << escape(c.code) << "\" href=\"/teacher/grade.asp?class=" << escape(c.code)
                 << "\" target=\"FCONTENT\">" << escape(c.name) << " " << escape(c.subject) << "</a>\n";
        body << "<h2>其他</h2>\n<a href=\"/teacher/welcome.asp\" target=\"FCONTENT\">公告</a>\n</div>";
        res.set_content(page("選單", body.str()), kHtml);
    });

    s.Get("/teacher/welcome.asp", [requireSignIn](const Request &req, Response &res) {
        if (requireSignIn(req, res))
            res.set_content(page("公告", "<div class=\"main\"><h2>公告</h2><p>請從左側選單選擇班級，開啟成績輸入頁面。</p>"
                                         "<p>成績輸入完畢後，務必按頁面上的儲存按鈕。</p></div>"),
                            kHtml);
    });

    s.Get("/teacher/grade.asp", [this, requireSignIn](const Request &req, Response &res) {
        if (!requireSignIn(req, res))
            return;
        const SchoolClass *c = findClass(req.get_param_value("class"));
        if (!c) {
            res.status = 404;
            res.set_content(page("找不到班級", "<div class=\"main\"><p class=\"error\">找不到這個班級。</p></div>"), kHtml);
            return;
        }
        std::map<std::string, std::string> scores;
        {
            std::lock_guard lock(m_mutex);
            scores = m_scores[c->code];
        }
        res.set_content(gradePage(*c, scores, req.has_param("saved")), kHtml);
    });

    s.Post("/teacher/grade.asp", [this, requireSignIn](const Request &req, Response &res) {
        if (!requireSignIn(req, res))
            return;
        const SchoolClass *c = findClass(req.get_param_value("class"));
        if (!c) {
            res.status = 404;
            return;
        }
        // Pair the posted IDs and scores by their order in the body, as the
        // page lists them (empty scores included).
        std::vector<std::string> ids;
        std::vector<std::string> shared;
        std::map<std::string, std::string> named;
        for (const auto &[key, value] : formFields(req.body)) {
            if (key == "mStd_id")
                ids.push_back(value);
            else if (key == "STD")
                shared.push_back(value);
            else
                named[key] = value;
        }
        std::lock_guard lock(m_mutex);
        std::map<std::string, std::string> posted = c->savesChangedRowsOnly ? m_scores[c->code]
                                                                             : std::map<std::string, std::string>();
        for (size_t i = 0; i < ids.size(); ++i) {
            if (c->savesChangedRowsOnly && named["C" + ids[i]] != "1")
                continue; // a row the page saw no change in keeps what was stored
            if (c->layout == Layout::SharedName)
                posted[ids[i]] = i < shared.size() ? trim(shared[i]) : std::string();
            else
                posted[ids[i]] = trim(named["S" + ids[i]]);
        }
        m_scores[c->code] = posted;
        res.set_redirect("/teacher/grade.asp?class=" + c->code + "&saved=1", 303);
    });

    s.Get("/html/document.html", [](const Request &, Response &res) { res.set_content(helpPage(), kHtml); });
    s.Get("/employee.htm", [](const Request &, Response &res) { res.set_content(staffPage(), kHtml); });

    s.Get(R"(/fixtures/(.+))", [this](const Request &req, Response &res) {
        namespace fs = std::filesystem;
        const fs::path relative = fs::path(req.matches[1].str()).lexically_normal();
        if (m_fixtures.empty() || relative.is_absolute() || relative.empty()
            || *relative.begin() == "..") {
            res.status = 404;
            return;
        }
        std::ifstream in(fs::path(m_fixtures) / relative, std::ios::binary);
        if (!in) {
            res.status = 404;
            res.set_content(page("找不到網頁", "<p>找不到網頁。</p>"), kHtml);
            return;
        }
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string placeholder = "{{PORT}}";
        for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at))
            text.replace(at, placeholder.size(), std::to_string(m_port));
        res.set_content(text, contentType(relative).c_str());
    });
}

} // namespace demo
