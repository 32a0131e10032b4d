// Snaplark's GNOME Shell extension. It tells Snaplark the application id of the focused window,
// and nothing else (no titles): GNOME Shell gives other programs no way to learn it, and Snaplark
// needs it to type a terminal's own copy chord there. Where no tray shows Snaplark's icon (stock
// GNOME has none), it shows the icon in the top bar with Snaplark's menu, which it reads from the
// agent over the session bus. GNOME 45 and later load extensions as modules.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Shell from 'gi://Shell';
import St from 'gi://St';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import * as PanelMenu from 'resource:///org/gnome/shell/ui/panelMenu.js';
import * as PopupMenu from 'resource:///org/gnome/shell/ui/popupMenu.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

// The body below is the same in snaplark-legacy@snaplark.example; a test keeps the two equal.
// --- shared body ---
const AGENT = 'example.snaplark.Snaplark';
const MENU_PATH = '/example/snaplark/StatusMenu';
const MENU = 'example.snaplark.StatusMenu';
// A StatusNotifierItem host (the AppIndicator extension, for one) shows the agent's own icon.
const TRAY = 'org.kde.StatusNotifierWatcher';

class Snaplark {
    constructor(path) {
        this._path = path;
    }

    enable() {
        this._agent = null;
        this._tray = false;
        this._button = null;
        this._focus = global.display.connect('notify::focus-window', () => this._report());
        // Snaplark may start after us, or again: it hears the focused window as it appears.
        this._watch = Gio.bus_watch_name(Gio.BusType.SESSION, AGENT, Gio.BusNameWatcherFlags.NONE,
            (connection, name, owner) => {
                this._agent = owner;
                this._report();
                this._follow();
            },
            () => {
                this._agent = null;
                this._follow();
            });
        this._trayWatch = Gio.bus_watch_name(Gio.BusType.SESSION, TRAY,
            Gio.BusNameWatcherFlags.NONE,
            () => {
                this._tray = true;
                this._follow();
            },
            () => {
                this._tray = false;
                this._follow();
            });
        this._changed = Gio.DBus.session.signal_subscribe(null, MENU, 'Changed', MENU_PATH, null,
            Gio.DBusSignalFlags.NONE, (connection, sender) => {
                if (sender === this._agent)
                    this._refresh();
            });
    }

    disable() {
        global.display.disconnect(this._focus);
        Gio.bus_unwatch_name(this._watch);
        Gio.bus_unwatch_name(this._trayWatch);
        Gio.DBus.session.signal_unsubscribe(this._changed);
        this._hide();
        this._focus = this._watch = this._trayWatch = this._changed = this._agent = null;
    }

    _report() {
        if (!this._agent)
            return;
        const window = global.display.focus_window;
        // A Wayland client's application id is its WM class in Mutter; a sandboxed app's id wins.
        // The name is the one the shell shows for the window's application.
        const id = window ? window.get_sandboxed_app_id() || window.get_wm_class() || '' : '';
        const app = window ? Shell.WindowTracker.get_default().get_window_app(window) : null;
        this._call('/example/snaplark/ActiveWindow', 'example.snaplark.ActiveWindow',
            'ReportApplication', new GLib.Variant('(ss)', [id, app ? app.get_name() : '']));
    }

    // The icon is shown while the agent runs and no tray shows it.
    _follow() {
        const wanted = this._agent !== null && !this._tray;
        if (wanted && !this._button)
            this._show();
        else if (!wanted && this._button)
            this._hide();
        if (this._agent)
            this._call(MENU_PATH, MENU, 'IconShown', new GLib.Variant('(b)', [wanted]));
    }

    _show() {
        this._button = new PanelMenu.Button(0.0, 'Snaplark');
        this._icon = new St.Icon({
            gicon: Gio.icon_new_for_string(`${this._path}/snaplark.svg`),
            style_class: 'system-status-icon',
        });
        this._button.add_child(this._icon);
        // Clicks in our menu are not gestures: the agent is told while it is open.
        this._button.menu.connect('open-state-changed', (menu, open) => {
            this._call(MENU_PATH, MENU, 'MenuShown', new GLib.Variant('(b)', [open]));
        });
        Main.panel.addToStatusArea('snaplark', this._button);
        this._refresh();
    }

    _hide() {
        if (!this._button)
            return;
        this._button.destroy();
        this._button = this._icon = null;
    }

    // The menu's entries and the icon's state, as the agent has them now.
    _refresh() {
        if (!this._button)
            return;
        this._call(MENU_PATH, 'org.freedesktop.DBus.Properties', 'GetAll',
            new GLib.Variant('(s)', [MENU]), '(a{sv})', reply => {
                const [state] = reply.recursiveUnpack();
                this._state = state;
                this._icon.opacity = state.Suspended ? 128 : 255;
                this._button.accessible_name =
                    state.Suspended ? 'Snaplark is suspended' : 'Snaplark is active';
                this._call(MENU_PATH, MENU, 'Entries', null, '(a(sbbb))',
                    entries => this._fill(entries.deepUnpack()[0]));
            });
    }

    _fill(entries) {
        if (!this._button)
            return;
        const menu = this._button.menu;
        menu.removeAll();
        // What stops the gestures, as the agent's tool tip says it elsewhere.
        if (this._state.ToolTip) {
            menu.addMenuItem(new PopupMenu.PopupMenuItem(this._state.ToolTip, {reactive: false}));
            menu.addMenuItem(new PopupMenu.PopupSeparatorMenuItem());
        }
        entries.forEach(([label, enabled, checkable, checked], index) => {
            if (!label) {
                menu.addMenuItem(new PopupMenu.PopupSeparatorMenuItem());
                return;
            }
            const item = new PopupMenu.PopupMenuItem(label);
            item.setSensitive(enabled);
            if (checkable)
                item.setOrnament(checked ? PopupMenu.Ornament.CHECK : PopupMenu.Ornament.NONE);
            item.connect('activate', () => this._call(MENU_PATH, MENU, 'Activate',
                new GLib.Variant('(i)', [index])));
            menu.addMenuItem(item);
        });
    }

    _call(path, iface, method, args, replyType = null, then = null) {
        if (!this._agent)
            return;
        Gio.DBus.session.call(this._agent, path, iface, method, args,
            replyType ? new GLib.VariantType(replyType) : null, Gio.DBusCallFlags.NO_AUTO_START,
            -1, null, (connection, result) => {
                try {
                    const reply = connection.call_finish(result);
                    if (then)
                        then(reply);
                } catch (e) {
                    // Snaplark went away meanwhile; it is heard from again when it is back.
                }
            });
    }
}
// --- end of shared body ---

export default class SnaplarkExtension extends Extension {
    enable() {
        this._snaplark = new Snaplark(this.path);
        this._snaplark.enable();
    }

    disable() {
        this._snaplark.disable();
        this._snaplark = null;
    }
}
