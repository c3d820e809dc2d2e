#pragma once
// Application: the program's QApplication. An exception that escapes an event handler is
// shown in the standard error box and the message loop goes on. main() creates the one
// instance; FormCreate and the close sequence report their own failures the same way.
#include <QApplication>

namespace quavrel {

// The product name: application title, error-box caption, designed window caption.
inline constexpr char kProductName[] = "Quavrel";
// Shown on the splash and appended to the main window's caption.
inline constexpr char kVersionText[] = "V3.0";

class Application : public QApplication {
    Q_OBJECT
public:
    // Installs the UI-thread hooks of the core for its lifetime.
    Application(int& argc, char** argv);
    ~Application() override;

    bool notify(QObject* receiver, QEvent* event) override;
};

// Whether a failure may be shown in a box the user has to answer. Not when the session
// is ending or a termination signal closes the program: nobody may be there to answer.
enum class Interaction { Allowed, None };

// Shows the exception being handled in the standard error box, or with Interaction::None
// writes it to standard error. Call only inside a catch block. While the program is
// closing no box is shown: the window is already gone.
void reportCurrentException(QWidget* parent, Interaction interaction = Interaction::Allowed);

}  // namespace quavrel
