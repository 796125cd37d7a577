#version 300 es
// The overlay's shader library: one full-screen quad and three motion-cue
// patterns (dots, lady bugs, hearts) on a square grid that scrolls with the
// offset.
//
// Output is premultiplied colour with coverage alpha; outside the pattern it
// is transparent black, so the desktop shows through untouched whatever the
// layer's compositing filter. Dots and hearts are white (a difference filter
// inverts the desktop under them); the dots have a black rim so that they
// also read on light backgrounds with normal compositing; lady bugs are red
// with black spots (a multiply filter tints the desktop under them).
precision highp float;
precision highp int;

#pragma vertex vertex_main
// The quad: four vertices (x, y, u, v), read by vertex index.
layout(std140) uniform vertex_buffer_0 {
  vec4 vertices[4];
};

out vec2 uv;

void vertex_main() {
  vec4 v = vertices[clamp(gl_VertexID, 0, 3)];
  gl_Position = vec4(v.xy, 0.0, 1.0);
  uv = v.zw;
}

#pragma fragment fragment_main
// Uniforms: offset (scroll x, y; aspect factors z, w), type, scale.
layout(std140) uniform fragment_buffer_1 {
  vec4 offset;
  int type;
  float scale;
} u;

in vec2 uv;
out vec4 color;

// One program per pattern: on a software rasteriser a branch on a uniform
// costs every pattern for every pixel; with the type a constant only the
// pattern drawn is compiled in. Other values use the general program.
#pragma specialize type 3
#ifdef SPECIALIZE_type
#define PATTERN_TYPE SPECIALIZE_type
#else
#define PATTERN_TYPE u.type
#endif

// Cells across the longer side of the screen.
const float kCells = 12.0;
// Offset units per cell: the offset wraps at 100, two cells, and every
// pattern repeats every two cells, so the wrap does not show.
const float kUnitsPerCell = 50.0;

// Coverage of the inside of a signed distance, smoothed over one pixel;
// `perPx` is pixels per cell unit. The distances here change by about one
// unit per unit, so one pixel size per fragment stands for the derivatives of
// each distance.
float fill(float d, float perPx) { return clamp(0.5 - d * perPx, 0.0, 1.0); }

// Distances without a square root: exact in value and slope on the edge,
// which is all a pixel-wide edge needs; elsewhere only the sign counts.
float sdCircle(vec2 p, float r) { return (dot(p, p) - r * r) * (0.5 / r); }

float sdEllipse(vec2 p, vec2 r) {
  vec2 q = p * (1.0 / r);
  return 0.5 * (dot(q, q) - 1.0) * min(r.x, r.y);
}

float dot2(vec2 v) { return dot(v, v); }

// A heart about 1 high, its point at the origin.
float sdHeart(vec2 p) {
  p.x = abs(p.x);
  if (p.y + p.x > 1.0) return sqrt(dot2(p - vec2(0.25, 0.75))) - sqrt(2.0) / 4.0;
  return sqrt(min(dot2(p - vec2(0.0, 1.0)), dot2(p - 0.5 * max(p.x + p.y, 0.0)))) *
         sign(p.x - p.y);
}

// cos and sin of the lady bugs' tilt, 0.45 radians.
const float kTiltCos = 0.90044710;
const float kTiltSin = 0.43496553;

// Each pattern returns premultiplied colour and coverage for the point f of
// its cell (f from -0.5 to 0.5); parity is the cell's (x, y) modulo 2.

vec4 dots(vec2 f, float perPx) {
  float d = length(f);
  float disc = fill(d - 0.2, perPx);
  float core = fill(d - 0.15, perPx);
  return vec4(vec3(0.96) * core, disc);
}

vec4 ladyBug(vec2 f, vec2 parity, float px, float perPx) {
  // Nothing of the bug reaches farther than 0.3 from the cell's centre.
  if (dot(f, f) > (0.3 + px) * (0.3 + px)) return vec4(0.0);
  // Neighbours crawl in different directions: tilted by +-0.45 radians, and
  // turned half round (+pi) in every other row.
  float s = parity.x < 0.5 ? kTiltSin : -kTiltSin;
  vec2 p = mat2(kTiltCos, s, -s, kTiltCos) * f * (parity.y < 0.5 ? 1.0 : -1.0);

  float body = fill(sdEllipse(p - vec2(0.0, -0.03), vec2(0.21, 0.24)), perPx);
  float head = fill(sdCircle(p - vec2(0.0, 0.2), 0.1), perPx);
  vec2 m = vec2(abs(p.x), p.y);
  float eyes = fill(sdCircle(m - vec2(0.045, 0.25), 0.022), perPx);
  float line = fill(m.x - 0.011, perPx);
  float spots = fill(min(min(sdCircle(m - vec2(0.1, 0.08), 0.045),
                             sdCircle(m - vec2(0.13, -0.07), 0.05)),
                         sdCircle(m - vec2(0.07, -0.19), 0.04)), perPx);
  float dark = max(line, spots) * body;
  float alpha = max(body, head);
  vec3 red = vec3(0.86, 0.08, 0.06);
  vec3 rgb = red * (body - dark) + vec3(0.95) * eyes * head * (1.0 - body);
  return vec4(min(rgb, vec3(alpha)), alpha);
}

vec4 hearts(vec2 f, vec2 parity, float perPx) {
  float size = abs(parity.x - parity.y) < 0.5 ? 0.44 : 0.32;
  float d = sdHeart((f + vec2(0.0, 0.5 * size)) / size) * size;
  float a = fill(d, perPx);
  return vec4(vec3(0.97) * a, a);
}

void fragment_main() {
  // Square units, the longer side 1, so the patterns keep their shape.
  vec2 q = uv * u.offset.zw;
  vec2 p = q * kCells - u.offset.xy / kUnitsPerCell;
  vec2 cell = floor(p);
  vec2 f = p - cell - 0.5;
  vec2 parity = mod(cell, 2.0);
  // One pixel in cell units: the grid is square, so one derivative tells.
  float px = max(abs(dFdx(p.x)) + abs(dFdy(p.x)), 1e-5);
  float perPx = 1.0 / px;

  vec4 c;
  if (PATTERN_TYPE == 1) {
    c = ladyBug(f, parity, px, perPx);
  } else if (PATTERN_TYPE == 2) {
    c = hearts(f, parity, perPx);
  } else {
    c = dots(f, perPx);
  }
  color = c * clamp(u.scale, 0.0, 1.0);
}
