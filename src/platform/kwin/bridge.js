// Tessera's bridge inside KWin. KWin runs it in the compositor, where every window (Wayland and
// Xwayland alike) can be seen and placed; it talks to Tessera over the session bus. The program
// writes this file with a first line that defines `tessera` (bus name, object path, interface
// and the token of this load), so a copy left behind by an earlier run can be told apart.
//
// Reports go out as JSON strings (callDBus picks D-Bus types from JavaScript values, a string
// stays a string). Commands come back as the answer to a long poll: the script always keeps one
// "Poll" call open and Tessera answers it when it has something to say. callDBus never calls
// back on an error, so Tessera answers every poll within seconds (empty when idle) and a script
// whose peer went away simply stops.

(function () {
    "use strict";

    var kwin6 = typeof workspace.windowList === "function";
    var alive = true;
    var shortcuts = {};
    var windows = {};

    // Rectangles read from KWin objects are live references: copy the fields.
    function rect(r) {
        return {x: r.x, y: r.y, width: r.width, height: r.height};
    }

    function send(type, payload) {
        if (!alive) {
            return;
        }
        payload.type = type;
        payload.token = tessera.token;
        callDBus(tessera.service, tessera.path, tessera.iface, "Event", JSON.stringify(payload));
    }

    function allWindows() {
        return kwin6 ? workspace.windowList() : workspace.clientList();
    }

    function idOf(w) {
        return String(w.internalId);
    }

    function describe(w) {
        return {
            id: idOf(w),
            pid: w.pid,
            resourceClass: String(w.resourceClass || ""),
            desktopFileName: String(w.desktopFileName || ""),
            caption: String(w.caption || ""),
            frame: rect(w.frameGeometry),
            normal: !!w.normalWindow,
            fullScreen: !!w.fullScreen,
            minimized: !!w.minimized,
            // Higher is nearer the front. Scripts of 5.27 see no workspace-wide stacking order,
            // only each window's place in it.
            stacking: typeof w.stackingOrder === "number" ? w.stackingOrder : 0
        };
    }

    function outputs() {
        var list = [];
        if (kwin6) {
            var screens = workspace.screens;
            for (var i = 0; i < screens.length; ++i) {
                list.push({
                    name: String(screens[i].name),
                    frame: rect(screens[i].geometry),
                    area: rect(workspace.clientArea(KWin.PlacementArea, screens[i],
                                                    workspace.currentDesktop))
                });
            }
        } else {
            for (var s = 0; s < workspace.numScreens; ++s) {
                list.push({
                    name: "output-" + s,
                    frame: rect(workspace.clientArea(KWin.ScreenArea, s, workspace.currentDesktop)),
                    area: rect(workspace.clientArea(KWin.PlacementArea, s,
                                                    workspace.currentDesktop))
                });
            }
        }
        return list;
    }

    function reportOutputs() {
        send("outputs", {outputs: outputs()});
    }

    function activeWindow() {
        return kwin6 ? workspace.activeWindow : workspace.activeClient;
    }

    function cursor() {
        var p = workspace.cursorPos;
        return {x: p.x, y: p.y};
    }

    // Moves under way: the frame each started from.
    var moving = {};
    // Moves that Escape ended on KWin 6, which puts the window back before its finish signal.
    var restored = {};
    // A move that has just finished, until it is known whether Escape cancelled it.
    var finishing = null;

    function sameRect(a, b) {
        return a.x === b.x && a.y === b.y && a.width === b.width && a.height === b.height;
    }

    function moveEvent(phase, w) {
        var id = idOf(w);
        if (phase === "start") {
            if (!w.move) {
                return;
            }
            moving[id] = rect(w.frameGeometry);
        } else if (!moving.hasOwnProperty(id)) {
            return;
        }
        if (phase !== "finish") {
            send("move", {phase: phase, id: id, cursor: cursor()});
            return;
        }
        // Escape ends a move with this same signal; KWin 5 puts the window back only after it,
        // in the same turn of its loop. A round trip to Tessera comes back after that turn, so
        // its answer tells a drop from a cancel.
        finishing = {id: id, start: moving[id], cancelled: !!restored[id], cursor: cursor()};
        delete moving[id];
        delete restored[id];
        callDBus(tessera.service, tessera.path, tessera.iface, "Event",
                 JSON.stringify({type: "tick", token: tessera.token}), function () {
            var done = finishing;
            finishing = null;
            if (done === null) {
                return;
            }
            if (done.cancelled) {
                send("move", {phase: "cancel", id: done.id, cursor: done.cursor});
            }
            send("move", {phase: "finish", id: done.id, cursor: done.cursor});
        });
    }

    function watch(w) {
        var id = idOf(w);
        if (windows[id]) {
            return;
        }
        windows[id] = w;
        w.frameGeometryChanged.connect(function () {
            if (finishing !== null && finishing.id === id &&
                sameRect(w.frameGeometry, finishing.start)) {
                finishing.cancelled = true;
            }
            if (moving.hasOwnProperty(id) && !w.move && sameRect(w.frameGeometry, moving[id])) {
                restored[id] = true;
            }
            send("window", {window: describe(w)});
        });
        w.fullScreenChanged.connect(function () {
            send("window", {window: describe(w)});
        });
        if (w.stackingOrderChanged) {
            w.stackingOrderChanged.connect(function () {
                send("window", {window: describe(w)});
            });
        }
        if (kwin6) {
            w.interactiveMoveResizeStarted.connect(function () {
                moveEvent("start", w);
            });
            w.interactiveMoveResizeStepped.connect(function () {
                moveEvent("step", w);
            });
            w.interactiveMoveResizeFinished.connect(function () {
                moveEvent("finish", w);
            });
        } else {
            w.clientStartUserMovedResized.connect(function () {
                moveEvent("start", w);
            });
            w.clientStepUserMovedResized.connect(function () {
                moveEvent("step", w);
            });
            w.clientFinishUserMovedResized.connect(function () {
                moveEvent("finish", w);
            });
        }
    }

    function added(w) {
        watch(w);
        send("window", {window: describe(w)});
        if (w.dock) {
            reportOutputs();
        }
    }

    function removed(w) {
        var id = idOf(w);
        delete windows[id];
        send("removed", {id: id});
        if (w.dock) {
            reportOutputs();
        }
    }

    function activated(w) {
        send("activated", {id: w ? idOf(w) : ""});
    }

    function findWindow(id) {
        var w = windows[id];
        if (w) {
            return w;
        }
        var list = allWindows();
        for (var i = 0; i < list.length; ++i) {
            if (idOf(list[i]) === id) {
                return list[i];
            }
        }
        return null;
    }

    function run(command) {
        if (command.op === "shortcut") {
            shortcuts[command.name] = true;
            // KWin keeps a script's shortcuts until the script ends and has no way to drop one,
            // so one that comes back is only switched on again.
            if (!shortcuts.hasOwnProperty(command.name + "\u0000registered")) {
                shortcuts[command.name + "\u0000registered"] = true;
                registerShortcut(command.name, command.text, command.keys, function () {
                    if (shortcuts[command.name]) {
                        send("shortcut", {name: command.name});
                    }
                });
            }
            return;
        }
        if (command.op === "unshortcut") {
            shortcuts[command.name] = false;
            return;
        }
        var w = findWindow(command.id);
        if (!w) {
            send("removed", {id: command.id});
            return;
        }
        if (command.op === "frame") {
            w.frameGeometry = {
                x: command.frame.x,
                y: command.frame.y,
                width: command.frame.width,
                height: command.frame.height
            };
            // Tessera took the frame as asked; a window that refuses it (or keeps part of it)
            // changes nothing, so no change would correct that. A Wayland window's new size
            // comes later, with its own change.
            send("window", {window: describe(w)});
        } else if (command.op === "activate") {
            if (kwin6) {
                workspace.activeWindow = w;
            } else {
                workspace.activeClient = w;
            }
        }
    }

    function poll() {
        if (!alive) {
            return;
        }
        callDBus(tessera.service, tessera.path, tessera.iface, "Poll",
                 JSON.stringify({token: tessera.token}), function (reply) {
            var message = {};
            try {
                message = JSON.parse(reply);
            } catch (e) {
                message = {};
            }
            if (message.stop) {
                alive = false;
                return;
            }
            var commands = message.commands || [];
            for (var i = 0; i < commands.length; ++i) {
                run(commands[i]);
            }
            poll();
        });
    }

    if (kwin6) {
        workspace.windowAdded.connect(added);
        workspace.windowRemoved.connect(removed);
        workspace.windowActivated.connect(activated);
        workspace.screensChanged.connect(reportOutputs);
    } else {
        workspace.clientAdded.connect(added);
        workspace.clientRemoved.connect(removed);
        workspace.clientActivated.connect(activated);
        workspace.numberScreensChanged.connect(reportOutputs);
        workspace.screenResized.connect(reportOutputs);
    }
    workspace.virtualScreenGeometryChanged.connect(reportOutputs);

    var list = allWindows();
    var described = [];
    for (var i = 0; i < list.length; ++i) {
        watch(list[i]);
        described.push(describe(list[i]));
    }
    var active = activeWindow();
    send("hello", {
        api: kwin6 ? 6 : 5,
        outputs: outputs(),
        windows: described,
        active: active ? idOf(active) : ""
    });
    poll();
})();
