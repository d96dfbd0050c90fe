#include "ShotScale.h"

#include <QGuiApplication>
#include <QScreen>

float ShotScale::ForHeight(int desktop_height) {
    const float factor = static_cast<float>(desktop_height) / 1080.0f;
    return factor < 1.0f ? 1.0f : factor;
}

float ShotScale::Factor() {
    static const float factor = [] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return ForHeight(screen ? screen->geometry().height() : 0);
    }();
    return factor;
}

int ShotScale::Scaled(int size) {
    return static_cast<int>(static_cast<float>(size) * Factor());
}
