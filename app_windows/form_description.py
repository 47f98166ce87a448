#!/usr/bin/env python3
"""Writes the native window's form from the Qt window's Designer file, so that
both windows have one description: the title, the client size, each control
(its identifier, kind, place, text, items and settings) in tab order, the
tab stops first, and the controls' identifiers.
    form_description.py FORM.ui OUTPUT.h"""
import sys
import xml.etree.ElementTree as ElementTree

FIRST_ID = 1001


def c_string(text):
    escaped = text.replace("\\", "\\\\").replace('"', '\\"')
    return '"' + escaped + '"'


def prop(widget, name):
    return widget.find(f"./property[@name='{name}']")


def text_of(widget, name):
    node = prop(widget, name)
    return node.findtext("string", "") if node is not None else ""


def flag(widget, name):
    node = prop(widget, name)
    return node is not None and node.findtext("bool") == "true"


def number(widget, name, default):
    node = prop(widget, name)
    return int(node.findtext("number")) if node is not None else default


def rect(widget):
    node = prop(widget, "geometry").find("rect")
    return [int(node.findtext(edge)) for edge in ("x", "y", "width", "height")]


def main(ui_path, out_path):
    root = ElementTree.parse(ui_path).getroot()
    form = root.find("widget")
    widgets = form.findall("widget")
    tab_order = [stop.text for stop in root.findall("./tabstops/tabstop")]
    kinds = {custom.findtext("class"): custom.findtext("extends") for custom in root.findall("./customwidgets/customwidget")}
    names = [w.get("name") for w in widgets]
    # Tab stops first, in their order (a dialog tabs in creation order), then the rest as the file has them.
    ordered = [names.index(name) for name in tab_order] + [i for i, name in enumerate(names) if name not in tab_order]

    lines = [
        "// Made by form_description.py from the Qt window's Designer file: the",
        "// native window's controls, in creation order (tab stops first).",
        "#pragma once",
        "",
    ]
    for i, name in enumerate(names):
        lines.append(f"#define IDC_{name.upper()} {FIRST_ID + i}")
    _, _, width, height = rect(form)
    lines += [
        "",
        "namespace form {",
        "",
        "enum class TKind { Label, Picture, Button, CheckBox, DropDown, Edit, Progress };",
        "struct TControl {",
        "  int id;",
        "  TKind kind;",
        "  int left, top, width, height;  // pixels at 96 DPI",
        "  const char* text;",
        "  bool tabStop, centred, checked, readOnly;",
        "  int maximum;  // a progress bar's range ends there",
        "};",
        "",
        f"inline constexpr const char* kTitle = {c_string(text_of(form, 'windowTitle'))};",
        f"inline constexpr int kClientWidth = {width}, kClientHeight = {height};",
        "inline constexpr TControl kControls[] = {",
    ]
    for i in ordered:
        widget = widgets[i]
        cls = kinds.get(widget.get("class"), widget.get("class"))
        kind = {"QPushButton": "Button", "QCheckBox": "CheckBox", "QComboBox": "DropDown", "QLineEdit": "Edit",
                "QProgressBar": "Progress"}.get(cls)
        if cls == "QLabel":
            kind = "Picture" if prop(widget, "pixmap") is not None else "Label"
        if kind is None:
            sys.exit(f"form_description.py: {widget.get('name')}: no native kind for {cls}")
        alignment = prop(widget, "alignment")
        centred = alignment is not None and "AlignCenter" in alignment.findtext("set", "")
        x, y, w, h = rect(widget)
        bools = ", ".join("true" if b else "false" for b in (
            widget.get("name") in tab_order, centred, flag(widget, "checked"), flag(widget, "readOnly")))
        lines.append(f"    {{IDC_{widget.get('name').upper()}, TKind::{kind}, {x}, {y}, {w}, {h}, "
                     f"{c_string(text_of(widget, 'text'))}, {bools}, {number(widget, 'maximum', 0)}}},")
    lines.append("};")
    for widget in widgets:
        items = [item.findtext("./property[@name='text']/string", "") for item in widget.findall("item")]
        if items:
            lines.append(f"inline constexpr const char* k{widget.get('name')}Items[] = {{{', '.join(map(c_string, items))}}};")
    lines += ["", "}  // namespace form", ""]
    with open(out_path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
