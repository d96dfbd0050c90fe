#include "WindowFinderX11.h"

#include <QVector>
#include <cstdlib>

namespace {

// Deeper than any real window tree; stops a loop on a tree that changes under us.
const int kMaxDepth = 64;

template <typename Reply>
struct ReplyPtr {
    Reply* reply;
    ~ReplyPtr() { std::free(reply); }
};

}  // namespace

WindowFinderX11::WindowFinderX11() {
    int screen_number = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen_number);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screen_number && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(connection);
        return;
    }
    connection_ = connection;
    root_ = it.data->root;
}

WindowFinderX11::~WindowFinderX11() {
    if (connection_)
        xcb_disconnect(connection_);
}

bool WindowFinderX11::WindowAt(const QPoint& cursor, WId overlay, QRect* rect) {
    if (!connection_)
        return false;
    const xcb_window_t skip = TopLevelOf(static_cast<xcb_window_t>(overlay));
    xcb_window_t current = root_;
    QPoint origin;  // of the current window's inside, on the desktop
    bool found = false;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        Child child;
        if (!ChildAt(current, cursor - origin, skip, &child))
            break;
        origin += child.origin;
        *rect = QRect(origin, child.size);
        current = child.window;
        found = true;
    }
    // Over the bare desktop the desktop itself is the window, as on Windows.
    return found || RootRect(rect);
}

bool WindowFinderX11::RootRect(QRect* rect) {
    ReplyPtr<xcb_get_geometry_reply_t> geo{
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, root_), nullptr)};
    if (!geo.reply)
        return false;
    *rect = QRect(0, 0, geo.reply->width, geo.reply->height);
    return true;
}

void WindowFinderX11::RaiseOverlay(WId overlay) {
    const xcb_window_t top = TopLevelOf(static_cast<xcb_window_t>(overlay));
    if (!connection_ || top == XCB_NONE)
        return;
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection_, top, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(connection_);
}

QVector<xcb_window_t> WindowFinderX11::Children(xcb_window_t parent, xcb_window_t* grand_parent) {
    QVector<xcb_window_t> children;
    ReplyPtr<xcb_query_tree_reply_t> tree{
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, parent), nullptr)};
    if (!tree.reply)
        return children;
    if (grand_parent)
        *grand_parent = tree.reply->parent;
    const xcb_window_t* list = xcb_query_tree_children(tree.reply);
    children.reserve(xcb_query_tree_children_length(tree.reply));
    for (int i = 0; i < xcb_query_tree_children_length(tree.reply); ++i)
        children.append(list[i]);
    return children;
}

bool WindowFinderX11::ChildAt(xcb_window_t parent, const QPoint& point, xcb_window_t skip,
                              Child* found) {
    const QVector<xcb_window_t> children = Children(parent, nullptr);
    // Every question is sent before the first answer is read: one round trip per level.
    QVector<xcb_get_window_attributes_cookie_t> attributes;
    QVector<xcb_get_geometry_cookie_t> geometries;
    for (xcb_window_t child : children) {
        attributes.append(xcb_get_window_attributes(connection_, child));
        geometries.append(xcb_get_geometry(connection_, child));
    }
    bool have = false;
    // The tree lists children bottom to top; the last match is the topmost.
    for (int i = 0; i < children.size(); ++i) {
        ReplyPtr<xcb_get_window_attributes_reply_t> attr{
            xcb_get_window_attributes_reply(connection_, attributes[i], nullptr)};
        ReplyPtr<xcb_get_geometry_reply_t> geo{
            xcb_get_geometry_reply(connection_, geometries[i], nullptr)};
        if (!attr.reply || !geo.reply || children[i] == skip ||
            attr.reply->map_state != XCB_MAP_STATE_VIEWABLE ||
            attr.reply->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        const int border = geo.reply->border_width;
        const QRect outer(geo.reply->x, geo.reply->y, geo.reply->width + 2 * border,
                          geo.reply->height + 2 * border);
        if (!outer.contains(point))
            continue;
        found->window = children[i];
        found->origin = QPoint(geo.reply->x + border, geo.reply->y + border);
        found->size = QSize(geo.reply->width, geo.reply->height);
        have = true;
    }
    return have;
}

xcb_window_t WindowFinderX11::TopLevelOf(xcb_window_t window) {
    for (int depth = 0; window != XCB_NONE && depth < kMaxDepth; ++depth) {
        xcb_window_t parent = XCB_NONE;
        Children(window, &parent);
        if (parent == root_ || parent == XCB_NONE)
            return parent == root_ ? window : XCB_NONE;
        window = parent;
    }
    return XCB_NONE;
}
