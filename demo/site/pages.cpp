#include "pages.h"

namespace kelvra::demo {
namespace {

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title><style>"
           "body{font-family:sans-serif;margin:0;background:#f3f6fa;color:#223}"
           "header{background:#1f5fa8;color:#fff;padding:10px 16px;font-size:18px}"
           "main{padding:16px}"
           ".tile{position:absolute;display:block;width:220px;height:44px;line-height:44px;"
           "text-align:center;background:#fff;border:1px solid #9ab;border-radius:4px;"
           "color:#1f5fa8;text-decoration:none;font-size:15px}"
           "button.tile{font-size:15px;cursor:pointer}"
           "#result{position:absolute;left:20px;top:330px;font-size:14px}"
           "</style></head><body>" +
           body + "</body></html>\n";
}

// A tile at a fixed place, so that a test can click it at known coordinates.
std::string Tile(const std::string& inner_tag, int left, int top) {
    return inner_tag.substr(0, inner_tag.find('>')) +
           " class=\"tile\" style=\"left:" + std::to_string(left) +
           "px;top:" + std::to_string(top) + "px\"" + inner_tag.substr(inner_tag.find('>'));
}

}  // namespace

std::string LoginPage(bool expired, const std::string& failed_user) {
    std::string note;
    if (expired)
        note = "<p id=\"note\">登录已过期，请重新登录。</p>";
    if (!failed_user.empty())
        note = "<p id=\"note\">用户 " + Escape(failed_user) + " 无法登录。</p>";
    return Page("Kelvra教学云平台 - 登录",
                "<header>Kelvra教学云平台</header><main>" + note +
                    "<form method=\"post\" action=\"/site/login\">"
                    "<p><label>用户名 <input id=\"user\" name=\"user\" value=\"teacher\" "
                    "autofocus></label></p>"
                    "<p><label>密码 <input id=\"password\" name=\"password\" "
                    "type=\"password\" value=\"demo\"></label></p>"
                    "<p><button id=\"signin\" type=\"submit\">登录</button></p>"
                    "</form></main>"
                    // Tells the server when the page has loaded, for the start-up benchmark.
                    "<script>window.addEventListener('load',function(){"
                    "fetch('/demo/loaded');});</script>");
}

std::string HomePage(const std::string& user) {
    const std::string lesson =
        "window.external.CreateVantle('C001','数学','第一课 分数','http://demo/lesson/1',"
        "'" +
        Escape(user) + "','kelvra')";
    const std::string second =
        "window.external.CreateVantle('C002','数学','第二课 小数','http://demo/lesson/2',"
        "'" +
        Escape(user) + "','kelvra')";
    return Page("教师首页",
                "<header>教师首页 – " + Escape(user) + "</header>" +
                    Tile("<a id=\"lesson1\" href=\"/lesson/1\" target=\"_blank\" fwidth=\"800\" "
                         "fheight=\"600\">打开第一课（弹出窗口）</a>",
                         20, 60) +
                    Tile("<a id=\"frames\" href=\"/home/techer/frames\">框架页</a>", 260, 60) +
                    Tile("<button id=\"vantle\" onclick=\"run(function(){" + lesson +
                             "})\">发送到白板</button>",
                         20, 130) +
                    Tile("<button id=\"badarg\" onclick=\"run(function(){"
                         "window.external.CreateVantle(1,2,3,4,5,6)})\">数字参数</button>",
                         260, 130) +
                    Tile("<button id=\"vantle2\" onclick=\"run(function(){" + lesson + ";" +
                             second + "})\">连续发送两课</button>",
                         500, 130) +
                    // Sign-out and expiry sit in the left column, which a popup centred on the
                    // main window leaves clear.
                    Tile("<a id=\"logout\" href=\"/site/logout\">退出登录</a>", 20, 200) +
                    Tile("<a id=\"expire\" href=\"/site/expire\">会话过期</a>", 20, 270) +
                    Tile("<a id=\"frames-expire\" href=\"/home/techer/expiring?after=2000,5000\">"
                         "框架先后过期</a>",
                         260, 200) +
                    Tile("<a id=\"armed-expire\" href=\"/home/techer/expiring?after=-1\">"
                         "框架待命过期</a>",
                         260, 270) +
                    "<div id=\"result\"></div><script>"
                    "function run(f){var r=document.getElementById('result');"
                    "try{f();r.textContent='ok';document.title='教师首页 – 已发送';}"
                    "catch(e){r.textContent='error: '+(e.message||e);"
                    "document.title='教师首页 – 错误';}"
                    "fetch('/demo/result?text='+encodeURIComponent(r.textContent));}"
                    "</script>");
}

std::string FramesPage() {
    return Page("框架页",
                "<header>框架页</header><iframe id=\"inner\" src=\"/home/techer/frame/1\" "
                "style=\"position:absolute;left:20px;top:60px;width:600px;height:300px\">"
                "</iframe>");
}

std::string FrameInnerPage(int step) {
    // A load inside the frame renames the top page, so the caption shows that the
    // frame's document-complete was seen.
    std::string body = "<p>框架内第 " + std::to_string(step) + " 页</p>";
    if (step == 1) {
        body += Tile("<a id=\"next\" href=\"/home/techer/frame/2\">下一页</a>", 20, 40);
    } else {
        // The slow picture holds the frame's load back until the new top title is in.
        body += "<script>parent.document.title='框架页 – 第" + std::to_string(step) +
                "页';</script><img src=\"/demo/slow.gif\" alt=\"\">";
    }
    return Page("框架 " + std::to_string(step), body);
}

std::string ExpiringPage(const std::vector<int>& after) {
    std::string frames;
    int left = 260;
    for (int ms : after) {
        frames += "<iframe src=\"/home/techer/expire-frame?after=" + std::to_string(ms) +
                  "\" style=\"position:absolute;top:60px;left:" + std::to_string(left) +
                  "px;width:200px;height:100px\"></iframe>";
        left += 220;
    }
    return Page("教师首页 – 框架",
                "<header>教师首页 – 框架</header>" +
                    Tile("<a id=\"lesson3\" href=\"/lesson/3\" target=\"_blank\" fwidth=\"800\" "
                         "fheight=\"600\">打开第三课（弹出窗口）</a>",
                         20, 60) +
                    frames);
}

std::string ExpiringFramePage(int after) {
    const std::string go = "location.href='/site/login?expired=1'";
    const std::string script =
        after >= 0 ? "setTimeout(function(){" + go + "}," + std::to_string(after) + ");"
                   : "setInterval(function(){fetch('/demo/armed').then(function(r){"
                     "if(r.status==200)" +
                         go + ";});},200);";
    return Page("框架", "<p>会话将过期</p><script>" + script + "</script>");
}

std::string LessonPage(int number) {
    std::string body = "<header>第" + std::to_string(number) + "课</header>";
    if (number == 1) {
        body += Tile(
            "<a id=\"lesson2\" href=\"/lesson/2\" target=\"_blank\" fwidth=\"800\" "
            "fheight=\"600\">下一课（同一窗口）</a>",
            20, 60);
    }
    if (number == 3) {
        // Arms the server (the main window's waiting frame then signs out), then calls the
        // whiteboard, whose box is open while that happens.
        body += Tile(
            "<button id=\"vantle3\" onclick=\"fetch('/demo/arm').then(function(){"
            "try{window.external.CreateVantle('C003','数学','第三课','http://demo/lesson/3',"
            "'teacher','kelvra');}catch(e){}})\">发送到白板</button>",
            20, 60);
    }
    return Page("第" + std::to_string(number) + "课", body);
}

std::string UpdateControlFile(bool newer) {
    std::string text =
        "[update]\r\n"
        "descr=Kelvra教学云客户端 demo release\r\n";
    if (newer)
        text += "unconditional=yes\r\n";
    return text;
}

}  // namespace kelvra::demo
