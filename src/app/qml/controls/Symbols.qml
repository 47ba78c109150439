pragma Singleton
import QtQuick

// Icons are named as symbols ("gearshape"); the application draws each one (SymbolImageProvider).
QtObject {
    function source(name) { return name ? "image://symbols/" + name : "" }
}
