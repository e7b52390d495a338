// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/window_frame.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef RAVELO_HAVE_XCB
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

xcb_connection_t* X11Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
    if (!r) return XCB_ATOM_NONE;
    const xcb_atom_t a = r->atom;
    free(r);
    return a;
}

std::vector<xcb_atom_t> AtomList(xcb_connection_t* c, xcb_window_t id, xcb_atom_t property) {
    std::vector<xcb_atom_t> atoms;
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, id, property, XCB_ATOM_ATOM, 0, 1024), nullptr);
    if (r) {
        if (r->format == 32 && r->type == XCB_ATOM_ATOM) {
            const auto* v = static_cast<const xcb_atom_t*>(xcb_get_property_value(r));
            atoms.assign(v, v + xcb_get_property_value_length(r) / 4);
        }
        free(r);
    }
    return atoms;
}

// Adds the named atoms to a list property, keeping what Qt put there, in
// front when `first` (window managers take the first type they know).
void AddAtoms(QWidget* window, const char* property, std::initializer_list<const char*> names, bool first) {
    xcb_connection_t* c = X11Connection();
    if (!c) return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t prop = Atom(c, property);
    if (prop == XCB_ATOM_NONE) return;
    std::vector<xcb_atom_t> atoms = AtomList(c, id, prop);
    std::vector<xcb_atom_t> added;
    for (const char* name : names) {
        const xcb_atom_t a = Atom(c, name);
        if (a != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), a) == atoms.end()) added.push_back(a);
    }
    if (added.empty()) return;
    atoms.insert(first ? atoms.begin() : atoms.end(), added.begin(), added.end());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, prop, XCB_ATOM_ATOM, 32, static_cast<uint32_t>(atoms.size()),
                        atoms.data());
    xcb_flush(c);
}

}  // namespace
#endif

void KeepOffTaskbar(QWidget* window) {
#ifdef RAVELO_HAVE_XCB
    // The tool-window type alone is shown by some task bars; the EWMH state
    // set before mapping keeps every compliant one from listing it. Qt adds
    // its own states at mapping too, so they are kept.
    AddAtoms(window, "_NET_WM_STATE", {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}, false);
#else
    (void)window;
#endif
}

void UseCloseOnlyFrame(QWidget* window) {
#ifdef RAVELO_HAVE_XCB
    AddAtoms(window, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_TOOLBAR"}, true);
    // Qt gives a plain window no type at all; the fallback for managers
    // that know no tool bars is the plain one.
    AddAtoms(window, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_NORMAL"}, false);
#else
    (void)window;
#endif
}
