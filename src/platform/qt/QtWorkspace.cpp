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
    const char* commandLine;
};

constexpr std::array kShortcutSettings{
    ShortcutSettings{"GNOME", "gnome-control-center", "gnome-control-center keyboard"},
    ShortcutSettings{"KDE", "systemsettings", "systemsettings kcm_keys"},
    ShortcutSettings{"XFCE", "xfce4-keyboard-settings", "xfce4-keyboard-settings"},
    ShortcutSettings{"X-Cinnamon", "cinnamon-settings", "cinnamon-settings keyboard"},
    ShortcutSettings{"MATE", "mate-keybinding-properties", "mate-keybinding-properties"},
    ShortcutSettings{"LXQt", "lxqt-config-globalkeyshortcuts", "lxqt-config-globalkeyshortcuts"},
};

bool installed(const ShortcutSettings& settings) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(settings.program)).isEmpty();
}

bool runningOn(const ShortcutSettings& settings) {
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
    return desktops.contains(QString::fromLatin1(settings.desktop), Qt::CaseInsensitive);
}

bool startDetached(const QString& commandLine) {
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return false;
    const QString program = QStandardPaths::findExecutable(words.takeFirst());
    return !program.isEmpty() && QProcess::startDetached(program, words);
}
}  // namespace

std::string QtWorkspace::accessibilitySettingsLink() {
    for (const ShortcutSettings& settings : kShortcutSettings) {
        if (runningOn(settings) && installed(settings))
            return settings.commandLine;
    }
    for (const ShortcutSettings& settings : kShortcutSettings) {
        if (installed(settings))
            return settings.commandLine;
    }
    return {};
}

bool QtWorkspace::openURL(const std::string& url) {
    const QString text = QString::fromStdString(url);
    const QUrl parsed(text, QUrl::StrictMode);
    if (parsed.isValid() && !parsed.scheme().isEmpty() && text.contains(u':'))
        return QDesktopServices::openUrl(parsed);
    return startDetached(text);
}

}  // namespace tavrel::qt
