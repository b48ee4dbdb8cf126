// The resource library needs one translation unit of its own; the data itself is added by
// qt_add_resources.
namespace varnello {
int resourcesAnchor() { return 0; }
} // namespace varnello
