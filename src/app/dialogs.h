// Message boxes and the file dialogs behind one seam, so tests can answer them without a
// modal loop.
#pragma once

#include <QString>

#include "shared/message.h"

class QWidget;

namespace pixvue {

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A modal box with the message's text, title and icon, and an OK button.
    virtual void showMessage(QWidget* parent, const Message& message) = 0;
    // The Open dialog, opened in `folder` (empty: the platform's choice); the chosen path, or
    // an empty text when the user cancelled.
    virtual QString chooseFile(QWidget* parent, const QString& filter, const QString& folder) = 0;
    // The Save dialog, which asks before replacing a file; as chooseFile otherwise.
    virtual QString chooseSaveFile(QWidget* parent, const QString& filter,
                                   const QString& folder) = 0;
};

// The real boxes and dialog.
class QtDialogs final : public Dialogs {
  public:
    void showMessage(QWidget* parent, const Message& message) override;
    QString chooseFile(QWidget* parent, const QString& filter, const QString& folder) override;
    QString chooseSaveFile(QWidget* parent, const QString& filter, const QString& folder) override;
};

}  // namespace pixvue
