"""The pieces make_assets.py puts together, one module per concern:

  raster      RGBA canvas, polygon fill, compositing
  container   BMP, PNG and ICO bytes (and reading the PNGs rsvg-convert writes)
  vector      SVG documents rendered by rsvg-convert
  glyph       the sigma glyph: splash picture, program and dialog icons
  pixelart    file-type icons drawn pixel by pixel for 16, 20, 24 and 32 px
  emblems     file-type icons drawn as vectors for 40, 48, 64 and 256 px
  filetypes   the twelve types and their icon files
  sheet       the contact sheet of every file-type icon
  agreement   the licence agreement text and its layout checks
"""
