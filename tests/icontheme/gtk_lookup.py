#!/usr/bin/env python3
"""Looks icons up as a GTK 3 program does, in the hicolor theme every theme
falls back to, with FOLDER... as the icons folders (as $XDG_DATA_DIRS/icons
gives them). For each NAME:SIZE, prints the file GTK takes, or "not found".
Exits 77 when GTK 3's introspection data or PyGObject is missing.

Usage: gtk_lookup.py FOLDER... -- NAME:SIZE..."""
import sys

# Importing GTK parses the command line as GTK's own, and takes "--" away.
ARGUMENTS = list(sys.argv)

try:
    import gi

    gi.require_version("Gtk", "3.0")
    from gi.repository import Gtk
except (ImportError, ValueError):
    print("PyGObject or GTK 3's introspection data is not installed", file=sys.stderr)
    sys.exit(77)


def main():
    split = ARGUMENTS.index("--")
    theme = Gtk.IconTheme.new()
    theme.set_search_path(ARGUMENTS[1:split])
    theme.set_custom_theme("hicolor")
    for asked in ARGUMENTS[split + 1:]:
        name, size = asked.rsplit(":", 1)
        info = theme.lookup_icon(name, int(size), 0)
        print(info.get_filename() if info else "not found")


if __name__ == "__main__":
    main()
