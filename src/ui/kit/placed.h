#pragma once

#include <QLatin1String>

// Names a child widget (so tests and style sheets find it) and puts it at its fixed place in a fixed-size window.
template <typename Widget> Widget *placed(Widget *widget, const char *name, int x, int y, int w, int h)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}
