/** @file requester_qt.cpp
 * Qt adapter of the requesters: QMessageBox with the Windows button sets and result codes, and a
 * widget QFileDialog (never the platform's own) that accepts a missing file in an existing folder.
 * [X] Qt's nested modal loop for both; the program's other windows are disabled meanwhile
 * [ ] produces no messages or events: the application's loop does not run while one is open
 * [ ] not emulated: the platform's own file dialog, the common controls and COM */
#include "runtime/ui/requester_internal.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QWidget>

#include <vector>

namespace {

struct DisabledWindow {
    Qt::HANDLE thread;
    QPointer<QWidget> window;
    bool was_topmost;
};
std::vector<DisabledWindow> disabled_windows;

QString to_qstring(const std::u16string& text) { return QString::fromUtf16(text.data(), qsizetype(text.size())); }

// The owner: the program's active window, if any.
QWidget* owner_window() { return QApplication::activeWindow(); }

void set_topmost(QWidget* window, bool topmost) {
    const bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    // Changing the flags of a shown window hides it.
    if (visible) window->show();
}

QMessageBox::StandardButton standard_button(int code) {
    switch (code) {
    case IDOK:
        return QMessageBox::Ok;
    case IDCANCEL:
        return QMessageBox::Cancel;
    case IDABORT:
        return QMessageBox::Abort;
    case IDRETRY:
        return QMessageBox::Retry;
    case IDIGNORE:
        return QMessageBox::Ignore;
    case IDYES:
        return QMessageBox::Yes;
    case IDNO:
        return QMessageBox::No;
    default:
        return QMessageBox::NoButton;
    }
}

// The open dialog: a typed name of a file that does not exist is taken when its folder exists
// (the folder must exist, the file need not).
class OpenFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QFileInfo info(files.first());
            if (!info.isDir() && !info.dir().exists()) {
                QMessageBox::warning(this, windowTitle(),
                                     QDir::toNativeSeparators(info.filePath()) +
                                         "\nPath does not exist.\nCheck the path and try again.");
                return;
            }
        }
        QFileDialog::accept();
    }
};

}  // namespace

void requester_windows_away() {
    const Qt::HANDLE thread = QThread::currentThreadId();
    QWidget* foreground = QApplication::activeWindow();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isWindow() || !window->isVisible() || !window->isEnabled() || window == foreground) continue;
        // Pop-ups and tool tips are not windows one works in.
        const Qt::WindowType type = window->windowType();
        if (type != Qt::Window && type != Qt::Dialog && type != Qt::Tool) continue;
        const bool topmost = window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        disabled_windows.push_back({thread, window, topmost});
        if (topmost) set_topmost(window, false);
        window->setEnabled(false);
    }
}

void requester_windows_restore() {
    const Qt::HANDLE thread = QThread::currentThreadId();
    for (auto entry = disabled_windows.begin(); entry != disabled_windows.end();) {
        if (entry->thread != thread) {
            ++entry;
            continue;
        }
        if (QWidget* window = entry->window.data()) {
            window->setEnabled(true);
            if (entry->was_topmost) set_topmost(window, true);
        }
        entry = disabled_windows.erase(entry);
    }
}

int requester_native_message(const std::u16string& title, const std::u16string& text, int flags) {
    if (!qApp) return 0;
    const std::vector<int> codes = requester_buttons(flags);
    if (codes.empty()) return 0;
    QMessageBox box(owner_window());
    box.setWindowTitle(to_qstring(title));
    box.setText(to_qstring(text));
    switch (flags & 0xF0) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    std::vector<std::pair<QAbstractButton*, int>> buttons;
    for (int code : codes) {
        QAbstractButton* button = nullptr;
        if (code == IDTRYAGAIN)
            button = box.addButton(QMessageBox::tr("&Try Again"), QMessageBox::AcceptRole);
        else if (code == IDCONTINUE)
            button = box.addButton(QMessageBox::tr("&Continue"), QMessageBox::AcceptRole);
        else
            button = box.addButton(standard_button(code));
        buttons.emplace_back(button, code);
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons[std::size_t(requester_default_button(flags))].first));
    // A lone OK also answers Escape and the close box, as it does on Windows.
    if (codes.size() == 1) box.setEscapeButton(buttons.front().first);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const auto& [button, code] : buttons)
        if (button == clicked) return code;
    // Closed without a button (Escape or the close box): Cancel where there is one.
    for (int code : codes)
        if (code == IDCANCEL) return IDCANCEL;
    return codes.size() == 1 ? codes.front() : IDCANCEL;
}

std::u16string requester_native_open_file(const std::u16string& title, const RequesterDefault& start,
                                          const std::vector<RequesterFilter>& filters, int position) {
    if (!qApp) return {};
    OpenFileDialog dialog(owner_window(), to_qstring(title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The description already names its patterns ("Quorval Extensions (*.qex)"); Qt's own copy of
    // them in parentheses is kept out of sight.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList names;
    for (const RequesterFilter& filter : filters)
        // "*.*" means every file on Windows, dotted or not.
        names << to_qstring(filter.description) + " (" +
                     to_qstring(filter.patterns).replace(";", " ").simplified().replace("*.*", "*") + ")";
    if (!names.isEmpty()) {
        dialog.setNameFilters(names);
        if (position >= 0 && position < names.size()) dialog.selectNameFilter(names[position]);
    }
    if (!start.directory.empty()) dialog.setDirectory(to_qstring(start.directory));
    if (!start.name.empty()) dialog.selectFile(to_qstring(start.name));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return {};
    return files.first().toStdU16String();
}
