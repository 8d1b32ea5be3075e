#!/usr/bin/python3
"""Writes the sample drawings of this folder with ezdxf (Debian's python3-ezdxf).

Run with /usr/bin/python3 from anywhere; the files land beside this script.
"""
import json
import pathlib

import ezdxf

HERE = pathlib.Path(__file__).resolve().parent

# Names beyond the ones every new drawing has (layers 0 and Defpoints; linetypes ByBlock, ByLayer
# and Continuous; text style and dimension style Standard).
OFFICE = {
    "layers": ["A-WALL", "A-WALL-OLD", "a-door", "A-GLAZ", "Möbel", "A-ANNO-TEXT"],
    "linetypes": ["DASHED", "HIDDEN2"],
    "text_styles": ["Notes", "Title"],
    "dim_styles": ["ISO-25", "Arch-50"],
}
OFFICE_ZH = {
    "layers": ["A-WALL", "墙体", "门窗"],
    "linetypes": ["DASHED", "虚线"],
    "text_styles": ["Notes", "说明文字"],
    "dim_styles": ["建筑标注"],
}


def drawing(version, names, encoding=None):
    doc = ezdxf.new(version)
    if encoding:
        doc.encoding = encoding
    for name in names["layers"]:
        doc.layers.add(name)
    for name in names["linetypes"]:
        doc.linetypes.add(name, pattern=[0.75, 0.5, -0.25])
    for name in names["text_styles"]:
        doc.styles.add(name, font="arial.ttf")
    # A shape file entry of the STYLE table: not a text style.
    doc.styles.add_shx("ltypeshp.shx")
    for name in names["dim_styles"]:
        doc.dimstyles.add(name)
    return doc


def main():
    drawing("R2000", OFFICE).saveas(HERE / "office.dxf")
    drawing("R2010", OFFICE_ZH).saveas(HERE / "office-zh-2010.dxf")
    drawing("R2000", OFFICE_ZH, encoding="gbk").saveas(HERE / "office-zh-r2000.dxf")
    samples = {
        "clean.json": {
            "Layers": ["0", "A-WALL", "A-DOOR"],
            "Linetypes": ["Continuous", "DASHED"],
            "TextStyles": ["Standard"],
            "DimStyles": ["ISO-25"],
        },
        "site.json": {
            "Layers": ["0", "C-TOPO", "A-WALL", "c-road"],
            "Linetypes": ["Continuous"],
            "TextStyles": ["Standard", "Labels"],
        },
    }
    for name, content in samples.items():
        (HERE / name).write_text(json.dumps(content, indent=2, ensure_ascii=False) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
