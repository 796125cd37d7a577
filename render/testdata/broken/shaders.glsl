#version 300 es
precision highp float;
#pragma vertex vertex_main
void vertex_main() { gl_Position = vec4(0.0); }
#pragma fragment fragment_main
out vec4 color;
void fragment_main() { color = notDeclared; }
