#pragma once
// The portal page's web browser lives in a module of its own (quavrel-portal.so, built from
// app/portal/), so that the web engine's libraries (Qt WebEngine Core alone is 150 MB) are
// neither loaded nor relocated before the main window is on screen. The main window loads
// the module when it first needs the view. The view is a QWebEngineView that the program
// drives through its meta-object: writing its "url" property navigates, and its
// loadFinished(bool) signal reports the page.
class QWidget;

namespace quavrel {

// Creates the view as a child of `parent`; its first finished page load is marked for the
// start-up trace ("portal_loaded"). Throws Exception when the module cannot be loaded.
QWidget* createPortalBrowser(QWidget* parent);
// Starts the web engine behind a view of createPortalBrowser, which its first navigation
// would otherwise do: the start takes a while, and this lets it be a step of its own.
void startPortalEngine(QWidget* view);

}  // namespace quavrel
