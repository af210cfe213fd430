// Modal pop-ups. All of them pass through Ask(): a scripted answer when one is queued, else the
// operator's. No one can answer a dialog on the offscreen platform, so there an unscripted
// pop-up is answered as cancelled, with a warning, instead of blocking forever.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <deque>
#include <optional>

#include "gui/runtime/popupscript.h"
#include "gui/runtime/runtime.h"

namespace {

struct Answer {
    int result;
    std::string path;
};

constexpr const char *kPopupTarget = "popupTarget";  // on a panel's window: SetPopupTarget

std::deque<Answer> script;
std::string lastText;
PopupTextHandler unattended = nullptr;

// The answer that replaces the dialog, or nothing when the operator is to be asked.
std::optional<Answer> Ask(const char *title, const char *message) {
    lastText = std::string(title ? title : "") + ": " + (message ? message : "");
    if (!script.empty()) {
        Answer answer = script.front();
        script.pop_front();
        return answer;
    }
    if (unattended) {
        unattended(title ? title : "", message ? message : "");
        return Answer{0, {}};
    }
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        qWarning("pop-up \"%s\" without a scripted answer: cancelled", lastText.c_str());
        return Answer{0, {}};
    }
    return std::nullopt;
}

// "*.dat;*.txt" as a file dialog filter.
QString Filter(const char *pattern, bool restrictExtension) {
    const QString patterns = Text(pattern).replace(';', ' ').trimmed();
    if (patterns.isEmpty()) return QString();
    QString filter = QStringLiteral("%1 (%1)").arg(patterns);
    if (!restrictExtension) filter += QStringLiteral(";;* (*)");
    return filter;
}

}  // namespace

void QueuePopupAnswer(int result, const std::string &path) {
    script.push_back({result, path});
}

std::size_t PendingPopupAnswers() {
    return script.size();
}

void ClearPopupAnswers() {
    script.clear();
}

void SetUnattendedPopups(PopupTextHandler handler) {
    unattended = handler;
}

std::string LastPopupText() {
    return lastText;
}

int SetPopupTarget(int panel, int pixels) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("SetPopupTarget", panel);
    p->widget->window()->setProperty(kPopupTarget, pixels);
    return 0;
}

std::unique_ptr<QMessageBox> PopupBox(QWidget *parent, bool question, const char *title,
                                      const char *message) {
    auto box = std::make_unique<QMessageBox>(
        question ? QMessageBox::Question : QMessageBox::Information, Text(title), Text(message),
        question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    const QWidget *window = parent ? parent->window() : nullptr;
    const int target = window ? window->property(kPopupTarget).toInt() : 0;
    if (target > 0) {
        box->setFont(window->font());
        for (QAbstractButton *button : box->buttons()) button->setMinimumSize(2 * target, target);
    }
    return box;
}

int MessagePopup(const char *title, const char *message) {
    if (Ask(title, message)) return 0;
    PopupBox(QApplication::activeWindow(), false, title, message)->exec();
    return 0;
}

int ConfirmPopup(const char *title, const char *message) {
    if (auto answer = Ask(title, message)) return answer->result == 1 ? 1 : 0;
    return PopupBox(QApplication::activeWindow(), true, title, message)->exec() == QMessageBox::Yes
               ? 1
               : 0;
}

// A scripted answer above 0 chooses its path; whether that file exists decides 1 or 2. Only a
// save dialog takes a name that does not exist yet: any other dialog refuses it, as the
// operator's dialog does, and nothing is chosen. Directory restrictions and a forbidden cancel
// are left to the operator's care.
int FileSelectPopup(const char *defaultDirectory, const char *defaultFileName,
                    const char *filePattern, const char *title, int buttonLabel,
                    int /*restrictDirectory*/, int restrictExtension, int /*allowCancel*/,
                    int allowMakeDirectory, char *pathOut, std::size_t pathSize) {
    if (!pathOut || pathSize == 0) return UIE_BAD_VALUE;
    pathOut[0] = '\0';
    QString path;
    if (auto answer = Ask(title, filePattern)) {
        if (answer->result <= 0) return answer->result;
        path = QString::fromStdString(answer->path);
        if (buttonLabel != VAL_SAVE_BUTTON && !QFileInfo::exists(path)) return 0;
    } else {
        const bool save = buttonLabel == VAL_SAVE_BUTTON;
        QFileDialog dialog(QApplication::activeWindow(), Text(title), Text(defaultDirectory),
                           Filter(filePattern, restrictExtension));
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);  // the program asks itself
        dialog.setOption(QFileDialog::ReadOnly, !allowMakeDirectory);
        dialog.selectFile(Text(defaultFileName));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;
        path = dialog.selectedFiles().constFirst();
    }
    path = QDir::toNativeSeparators(path);
    // A path cut to fit would name another file: refuse it instead.
    if (path.toUtf8().size() >= static_cast<qsizetype>(pathSize)) return UIE_BAD_VALUE;
    CopyText(path, pathOut, pathSize);
    return QFileInfo::exists(path) ? 1 : 2;
}
