#pragma once

#include <QQmlEngine>

namespace tessera::shell {

// The view models are QML singletons, but they belong to a shell, one per application (and one per
// QML test), which makes them before any engine exists. Shell::expose hands an engine its
// instances; each type's create() then returns the one handed to the engine asking.
inline void lendSingleton(QQmlEngine& engine, QObject& instance) {
    // The shell owns it; the engine must never delete it when it goes.
    QJSEngine::setObjectOwnership(&instance, QJSEngine::CppOwnership);
    engine.setProperty(instance.metaObject()->className(), QVariant::fromValue(&instance));
}

template <class T> T* lentSingleton(QQmlEngine* engine) {
    auto* instance =
        engine ? qobject_cast<T*>(
                     engine->property(T::staticMetaObject.className()).template value<QObject*>())
               : nullptr;
    if (!instance) {
        qWarning("%s is used in QML but no shell was exposed to the engine",
                 T::staticMetaObject.className());
    }
    return instance;
}

} // namespace tessera::shell
