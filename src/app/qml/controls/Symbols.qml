pragma Singleton
import QtQuick

// Icons are named as symbols ("gearshape"); the application draws each one from the desktop's
// icon theme (SymbolImageProvider), in the scheme's text colour unless another is asked for.
QtObject {
    function source(name, color) {
        if (!name)
            return ""
        return "image://symbols/" + name + "?color="
                + encodeURIComponent(color === undefined ? Theme.iconColor : color)
    }
}
