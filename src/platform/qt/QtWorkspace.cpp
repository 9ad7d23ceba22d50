#include "platform/qt/QtWorkspace.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <array>

namespace tavrel::qt {
namespace {
struct ShortcutSettings {
    const char* desktop;  // as XDG_CURRENT_DESKTOP names it
    const char* program;
    const char* pane;  // its argument that opens the shortcuts, if it needs one
};

constexpr std::array kShortcutSettings{
    ShortcutSettings{"GNOME", "gnome-control-center", "keyboard"},
    ShortcutSettings{"KDE", "systemsettings", "kcm_keys"},
    ShortcutSettings{"XFCE", "xfce4-keyboard-settings", ""},
    ShortcutSettings{"X-Cinnamon", "cinnamon-settings", "keyboard"},
    ShortcutSettings{"MATE", "mate-keybinding-properties", ""},
    ShortcutSettings{"LXQt", "lxqt-config-globalkeyshortcuts", ""},
};

// Links to a settings program: "tavrel-settings:PROGRAM" or "tavrel-settings:PROGRAM/PANE".
constexpr const char* kSettingsScheme = "tavrel-settings";

bool installed(const ShortcutSettings& settings) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(settings.program)).isEmpty();
}

bool runningOn(const ShortcutSettings& settings) {
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
    return desktops.contains(QString::fromLatin1(settings.desktop), Qt::CaseInsensitive);
}

std::string linkTo(const ShortcutSettings& settings) {
    std::string link = std::string(kSettingsScheme) + ":" + settings.program;
    if (*settings.pane)
        link += std::string("/") + settings.pane;
    return link;
}

// Only installed programs start, and only with the words the link carries.
bool startSettings(const QString& path) {
    QStringList words = path.split(u'/', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return false;
    const QString program = QStandardPaths::findExecutable(words.takeFirst());
    return !program.isEmpty() && QProcess::startDetached(program, words);
}
}  // namespace

std::string QtWorkspace::accessibilitySettingsLink() {
    for (const ShortcutSettings& settings : kShortcutSettings) {
        if (runningOn(settings) && installed(settings))
            return linkTo(settings);
    }
    for (const ShortcutSettings& settings : kShortcutSettings) {
        if (installed(settings))
            return linkTo(settings);
    }
    return {};
}

bool QtWorkspace::openURL(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme().isEmpty())
        return false;
    if (parsed.scheme() == QLatin1String(kSettingsScheme))
        return startSettings(parsed.path());
    return QDesktopServices::openUrl(parsed);
}

}  // namespace tavrel::qt
