#include "dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace pixvue {

void QtDialogs::showMessage(QWidget* parent, const Message& message) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (message.icon == MessageIcon::Information) icon = QMessageBox::Information;
    if (message.icon == MessageIcon::Critical) icon = QMessageBox::Critical;
    QMessageBox box(icon, QString::fromUtf8(message.title.data(), qsizetype(message.title.size())),
                    QString::fromUtf8(message.text.data(), qsizetype(message.text.size())),
                    QMessageBox::Ok, parent);
    box.exec();
}

QString QtDialogs::chooseFile(QWidget* parent, const QString& filter, const QString& folder) {
    return QFileDialog::getOpenFileName(parent, QString(), folder, filter);
}

QString QtDialogs::chooseSaveFile(QWidget* parent, const QString& filter, const QString& folder) {
    return QFileDialog::getSaveFileName(parent, QString(), folder, filter);
}

}  // namespace pixvue
