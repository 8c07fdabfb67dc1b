// Keeps the library non-empty until its first window lands.
namespace tessaloom::gui {
int guiPlaceholder() { return 0; }
} // namespace tessaloom::gui
