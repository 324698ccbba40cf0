#include "unattended/command_line.h"

#include "platform/text.h"

namespace unattended {

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
    std::vector<std::u16string> words;
    size_t i = 0;
    const size_t n = line.size();
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
    while (true) {
        while (i < n && blank(line[i])) ++i;
        if (i >= n) break;
        std::u16string word;
        bool quoted = false;
        while (i < n && (quoted || !blank(line[i]))) {
            if (line[i] == u'\\') {
                size_t slashes = 0;
                while (i < n && line[i] == u'\\') ++slashes, ++i;
                if (i < n && line[i] == u'"') {
                    word.append(slashes / 2, u'\\');
                    if (slashes % 2) {
                        word += u'"';
                        ++i;
                    }
                } else {
                    word.append(slashes, u'\\');
                }
                continue;
            }
            if (line[i] == u'"') {
                // "" inside quotes is a literal quote, as the C runtime reads it.
                if (quoted && i + 1 < n && line[i + 1] == u'"') {
                    word += u'"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

bool IsPlainPortName(std::u16string_view port) {
    if (port.empty() || port.size() > 63) return false;
    for (char16_t c : port)
        if (c < 0x20 || c == 0x7F || std::u16string_view(u"\\/*?\"<>|").find(c) != std::u16string_view::npos)
            return false;
    return true;
}

namespace {

Command Bad(Command c, std::u16string error) {
    c.mode = Mode::Bad;
    c.error = std::move(error);
    return c;
}

}  // namespace

Command ParseCommandLine(std::u16string_view line) {
    Command c;
    std::vector<std::u16string> words = SplitCommandLine(line);
    // /S first, whatever else is wrong: a silent run's complaint must not open a box.
    for (const auto& w : words)
        if (w.size() == 2 && (w[0] == u'/' || w[0] == u'-') && (w[1] == u'S' || w[1] == u's')) c.silent = true;
    bool install = false, uninstall = false, usage = false, seenSilent = false;
    for (const auto& word : words) {
        if (word.size() < 2 || (word[0] != u'/' && word[0] != u'-')) return Bad(c, u"无法识别的参数: " + word);
        std::u16string body = word.substr(1);
        size_t eq = body.find(u'=');
        std::u16string key = plat::ToUpper(body.substr(0, eq));
        std::optional<std::u16string> value;
        if (eq != std::u16string::npos) value = body.substr(eq + 1);
        auto once = [&](std::optional<std::u16string>& slot) -> std::optional<Command> {
            if (!value) return Bad(c, u"参数缺少取值: " + word);
            if (value->empty()) return Bad(c, u"参数取值为空: " + word);
            if (slot) return Bad(c, u"参数重复: " + word);
            slot = *value;
            return std::nullopt;
        };
        if (key == u"S" && !value) {
            if (seenSilent) return Bad(c, u"参数重复: " + word);
            seenSilent = true;
        } else if (key == u"?" && !value) {
            usage = true;
        } else if (key == u"UNINSTALL" && !value) {
            if (uninstall) return Bad(c, u"参数重复: " + word);
            uninstall = true;
        } else if (key == u"MODEL") {
            if (auto bad = once(c.model)) return *bad;
        } else if (key == u"PORT") {
            if (auto bad = once(c.port)) return *bad;
            if (!IsPlainPortName(*c.port)) return Bad(c, u"端口名无效: " + *c.port);
        } else if (key == u"LOG") {
            if (auto bad = once(c.log)) return *bad;
        } else {
            return Bad(c, u"无法识别的参数: " + word);
        }
        install = true;
    }
    if (usage) {
        if (words.size() != 1) return Bad(c, u"/? 不能与其他参数同用");
        c.mode = Mode::Usage;
        return c;
    }
    if (uninstall) {
        if (c.port) return Bad(c, u"/uninstall 不能与 /port 同用");
        c.mode = Mode::Uninstall;
        return c;
    }
    if (!install) return c;   // no words at all: the wizard
    // An install needs /S: switches without it would leave the wizard's choices unclear.
    if (!seenSilent) return Bad(c, u"/model、/port 和 /log 只用于无人值守安装 (/S)");
    c.mode = Mode::Install;
    return c;
}

std::u16string UsageText() {
    return u"用法:\r\n"
           u"  Setup.exe                          安装向导\r\n"
           u"  Setup.exe /S [/model=型号] [/port=端口] [/log=文件]\r\n"
           u"                                     无人值守安装 (不显示任何窗口)\r\n"
           u"  Setup.exe /uninstall [/model=型号] [/S] [/log=文件]\r\n"
           u"                                     卸载本程序安装的打印机和驱动程序\r\n"
           u"  Setup.exe /?                       显示本说明\r\n"
           u"\r\n"
           u"未给出型号时使用检测到的打印机 (先USB, 后并口); 未给出端口时使用其USB端口, 否则第一个并口。\r\n"
           u"退出代码: 0 成功; 1-6 安装错误代码; 10 参数错误; 11 未给出型号且未检测到打印机;\r\n"
           u"12 未知型号; 13 无此端口; 14 卸载未能全部完成。";
}

}  // namespace unattended
