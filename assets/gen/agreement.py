"""The licence agreement shown in the installer's read-only text box."""

from .raster import check

# Shown in a read-only text box.  The line breaks are part of the design: the
# text is laid out line by line here and written with CR LF endings.  Lines
# that continue a paragraph keep one trailing space; sentences are separated
# by two spaces.

AGREEMENT_LINES = [
    'LICENSE AGREEMENT',
    '',
    '',
    '***   IMPORTANT  ***',
    '',
    'This is a legal agreement between you, the ',
    'end user, and Quillfern Software, the maker ',
    'of Glyphary Installer (the "Program").  Please ',
    'read it carefully first.  The Program installs ',
    'icons for TI-89 calculator variable files into ',
    'Windows, so that each kind of file shows its own ',
    'picture.',
    '',
    'Glyphary Installer is not made, sponsored or endorsed by ',
    'Texas Instruments.  TI-89 is a trademark of its owner and ',
    'is used here only to name the files the Program works with.',
    '',
    'The Program was tested with care on each version of Windows named in its notes, ',
    'but no test can find every fault.',
    '',
    'BY INSTALLING THE PROGRAM, YOU AGREE THAT YOU ',
    'HAVE READ THIS AGREEMENT, UNDERSTAND IT AND ARE ',
    'BOUND BY ITS TERMS.  THE PROGRAM IS PROVIDED "AS ',
    'IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR ',
    'IMPLIED, INCLUDING ANY WARRANTY OF MERCHANTABILITY ',
    'OR FITNESS FOR A PARTICULAR PURPOSE.  IN NO EVENT ',
    'SHALL QUILLFERN SOFTWARE BE LIABLE FOR ANY LOSS ',
    'OF DATA, LOSS OF PROFIT OR OTHER DAMAGE ARISING ',
    'FROM THE USE OF, OR INABILITY TO USE, THE PROGRAM, ',
    'EVEN IF IT HAS BEEN TOLD OF THE POSSIBILITY OF ',
    'SUCH DAMAGE.  THE WHOLE RISK AS TO ITS QUALITY ',
    'AND PERFORMANCE IS WITH YOU.',
    '',
    'If you do not agree to these terms, press Cancel ',
    'now and the Program will not be installed.',
    '',
    'LIMITED LICENSE:  Quillfern Software grants you ',
    'a free, non-exclusive license to install and use ',
    'the Program on any number of computers that you ',
    'own or control.  You may copy the Program for ',
    'backup, and may give unchanged copies to others ',
    'free of charge, as long as this agreement goes ',
    'with every copy.  You may not sell the Program, ',
    'or include it in any product that is sold, without ',
    'written leave from Quillfern Software.',
    '',
    'OWNERSHIP:  The Program, its icons and its ',
    'pictures are the work of Quillfern Software ',
    'and are protected by copyright law and ',
    'international treaties.  This agreement gives ',
    'you the right to use the Program; it does not ',
    'give you ownership of it or of any copy.  All ',
    'rights not granted here are kept by Quillfern ',
    'Software.',
    '',
    'OTHER RESTRICTIONS:  You may not reverse ',
    'engineer, decompile or disassemble the ',
    'Program, except to the extent that the law ',
    'where you live expressly allows it.  You may ',
    'not remove or change any copyright notice. ',
    'This agreement ends at once if you fail to ',
    'keep any of its terms; you must then delete ',
    'every copy of the Program that you hold. ',
    'You may keep the icons after the Program is ',
    'removed.',
]

# Non-empty lines of each block after the "IMPORTANT" line, in order.
AGREEMENT_BODY_BLOCKS = [7, 3, 2, 12, 2, 9, 8, 10]
AGREEMENT_CHARS = 2522
AGREEMENT_LINE_COUNT = 65
AGREEMENT_LONGEST = 80


def agreement_bytes():
    lines = AGREEMENT_LINES
    data = "".join(line + "\r\n" for line in lines)
    check(len(lines) == AGREEMENT_LINE_COUNT,
          f"{len(lines)} lines, want {AGREEMENT_LINE_COUNT}")
    check(len(data) == AGREEMENT_CHARS,
          f"{len(data)} characters, want {AGREEMENT_CHARS}")
    check(all(32 <= ord(c) < 127 for line in lines for c in line),
          "only printable ASCII without tabs may appear")
    longest = max(len(line) for line in lines)
    check(longest == AGREEMENT_LONGEST,
          f"longest line is {longest}, want {AGREEMENT_LONGEST}")
    text_lines = [line for line in lines if line]
    spaced = sum(1 for line in text_lines if line.endswith(" "))
    check(2 * spaced > len(text_lines),
          f"only {spaced} of {len(text_lines)} lines end with a space")
    for n, line in enumerate(lines, 1):
        check(not line.endswith("  "), f"line {n} ends with two spaces")
        check(not line.startswith(" "), f"line {n} starts with a space")
        body = line.rstrip(" ")
        for i, c in enumerate(body[:-1]):
            if c in ".:" and body[i + 1] == " ":
                check(body[i + 2:i + 3] == " " and body[i + 3:i + 4] != " ",
                      f"line {n}: '{c}' inside a line needs two spaces after")
    check(lines[0] == "LICENSE AGREEMENT" and lines[1:3] == ["", ""],
          "title and the two empty lines after it")
    check(lines[3] == "***   IMPORTANT  ***" and lines[4] == "",
          "IMPORTANT line and the empty line after it")

    blocks = []
    current = []
    for line in lines[5:]:
        if line:
            current.append(line)
        else:
            check(current, "two empty lines in a row inside the body")
            blocks.append(current)
            current = []
    check(current, "the text must not end on an empty line")
    blocks.append(current)
    sizes = [len(b) for b in blocks]
    check(sizes == AGREEMENT_BODY_BLOCKS,
          f"block sizes {sizes}, want {AGREEMENT_BODY_BLOCKS}")
    caps = "".join(blocks[3])
    check(caps.startswith("BY INSTALLING THE PROGRAM,")
          and caps == caps.upper(),
          "the acknowledgement paragraph is written in capitals")
    check(blocks[5][0].startswith("LIMITED LICENSE:  "), "LIMITED LICENSE")
    head, sep, _ = blocks[6][0].partition(":  ")
    check(sep and head.isupper() and head.replace(" ", "").isalpha(),
          "ownership heading")
    check(blocks[7][0].startswith("OTHER RESTRICTIONS:  "),
          "OTHER RESTRICTIONS")
    return data.encode("ascii")

