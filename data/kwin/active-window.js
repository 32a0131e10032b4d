// Loaded into KWin by Snaplark while it runs: tells it the application id of each window KWin
// activates, and nothing else (no titles), so that terminals get their own copy chord.
// Plasma 6 names them windowActivated and activeWindow, Plasma 5 clientActivated and activeClient.
function report(window) {
    const id = window ? String(window.desktopFileName || window.resourceClass || "") : "";
    callDBus("example.snaplark.Snaplark", "/example/snaplark/ActiveWindow",
             "example.snaplark.ActiveWindow", "Report", id);
}
(workspace.windowActivated || workspace.clientActivated).connect(report);
report(workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient);
