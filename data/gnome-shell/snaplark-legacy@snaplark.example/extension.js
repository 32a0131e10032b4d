// Tells Snaplark the application id of the focused window, and nothing else (no titles): GNOME
// Shell gives other programs no way to learn it, and Snaplark needs it to type a terminal's own
// copy chord there. The same as snaplark@snaplark.example, in the form GNOME 43 and 44 load.
const {Gio, GLib} = imports.gi;

const AGENT = 'example.snaplark.Snaplark';

class SnaplarkExtension {
    enable() {
        this._agent = null;
        this._focus = global.display.connect('notify::focus-window', () => this._report());
        this._watch = Gio.bus_watch_name(Gio.BusType.SESSION, AGENT, Gio.BusNameWatcherFlags.NONE,
            (connection, name, owner) => {
                this._agent = owner;
                this._report();
            },
            () => {
                this._agent = null;
            });
    }

    disable() {
        global.display.disconnect(this._focus);
        Gio.bus_unwatch_name(this._watch);
        this._focus = this._watch = this._agent = null;
    }

    _report() {
        if (!this._agent)
            return;
        const window = global.display.focus_window;
        const id = window ? window.get_sandboxed_app_id() || window.get_wm_class() || '' : '';
        Gio.DBus.session.call(this._agent, '/example/snaplark/ActiveWindow',
            'example.snaplark.ActiveWindow', 'Report', new GLib.Variant('(s)', [id]), null,
            Gio.DBusCallFlags.NO_AUTO_START, -1, null, (connection, result) => {
                try {
                    connection.call_finish(result);
                } catch (e) {
                    // Snaplark went away meanwhile; it hears the window again when it is back.
                }
            });
    }
}

function init() {
    return new SnaplarkExtension();
}
