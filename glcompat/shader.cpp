// The ES programs that stand in for the fixed-function pipeline: GL 1.1's per-vertex lighting
// equation for up to eight lights, GL_MODULATE texturing, and the bitmap program that draws
// glyph quads. One program per combination actually drawn, compiled the first time it is
// needed, and specialised on what the batch's state really uses: which lights are positional,
// whether any has an attenuation other than (1, 0, 0), and whether the texture matrix is the
// identity. The arithmetic each does is the general program's, less the steps whose result is
// known.
#include <cstdio>
#include <string>

#include "glcompat/compat.h"

namespace glcompat {

namespace {

// The vertex program in three parts; the lights go between the first two, written out one by
// one for what each really is (see lightTerms).
const char* const kVertexHead = R"(
attribute vec4 aPosition;
attribute vec3 aNormal;
attribute vec4 aColor;
attribute vec2 aTexCoord;
uniform mat4 uMVP;
uniform mat4 uModelView;
uniform mat3 uNormalMatrix;
uniform mat4 uTexMatrix;
uniform vec4 uSceneColor;  // emission + model ambient * material ambient; alpha: diffuse alpha
uniform float uShininess;
#ifdef PALETTE
uniform mat4 uPalette[PALETTE];  // projection * modelview of each held batch
#endif
#if LIGHTS > 0
uniform vec4 uLightPos[LIGHTS];  // eye space; w 0 for a directional light
uniform vec3 uLightAtt[LIGHTS];  // constant, linear, quadratic
uniform vec3 uLightAmb[LIGHTS];  // light ambient * material ambient
uniform vec3 uLightDif[LIGHTS];  // light diffuse * material diffuse
uniform vec3 uLightSpe[LIGHTS];  // light specular * material specular
#endif
#ifndef COLORLESS
varying vec4 vColor;
varying vec2 vTexCoord;
#endif
void main() {
#ifdef BITMAP
    gl_Position = aPosition;
    vColor = aColor;
    vTexCoord = aTexCoord;
#else
#ifdef PALETTE
    gl_Position = uPalette[int(aNormal.x)] * aPosition;
#else
    gl_Position = uMVP * aPosition;
#endif
    gl_PointSize = 1.0;
#ifndef COLORLESS
#ifdef LIGHTING
    vec3 eye = (uModelView * aPosition).xyz;
    // GL_NORMALIZE is off: the normal is transformed and used as it comes.
    vec3 n = uNormalMatrix * aNormal;
    vec3 c = uSceneColor.rgb;
)";

const char* const kVertexTail = R"(
    vColor = clamp(vec4(c, uSceneColor.a), 0.0, 1.0);
#else
    vColor = clamp(aColor, 0.0, 1.0);
#endif
#ifdef TEXTURE
#ifdef TEXTURE_MATRIX
    vTexCoord = (uTexMatrix * vec4(aTexCoord, 0.0, 1.0)).xy;
#else
    vTexCoord = aTexCoord;
#endif
#endif
#endif
#endif
}
)";

// GL 1.1's term of light `i`, added to c: vp is the unit vector towards the light. A directional
// light and a positional one with attenuation (1, 0, 0) have an attenuation of exactly 1.
std::string lightTerm(int i, bool positional, bool attenuated) {
    const std::string at = "[" + std::to_string(i) + "]";
    std::string t = "    {\n";
    if (positional) {
        t += "        vec3 d = uLightPos" + at + ".xyz - eye;\n"
             "        float dist = length(d);\n"
             "        vec3 vp = d / dist;\n";
    } else {
        t += "        vec3 vp = normalize(uLightPos" + at + ".xyz);\n";
    }
    t += "        float nDotVp = dot(n, vp);\n"
         "        vec3 term = uLightAmb" + at + ";\n"
         "        if (nDotVp > 0.0) {\n"
         // The viewer is at infinity (no local viewer): the half vector uses (0, 0, 1).
         "            vec3 h = normalize(vp + vec3(0.0, 0.0, 1.0));\n"
         "            float nDotH = max(dot(n, h), 0.0);\n"
         "            float specular = uShininess == 0.0 ? 1.0 : (nDotH > 0.0 ? pow(nDotH, uShininess) : 0.0);\n"
         "            term += nDotVp * uLightDif" + at + " + specular * uLightSpe" + at + ";\n"
         "        }\n";
    if (positional && attenuated)
        t += "        float att = 1.0 / (uLightAtt" + at + ".x + uLightAtt" + at + ".y * dist + uLightAtt" + at +
             ".z * dist * dist);\n"
             "        c += att * term;\n";
    else
        t += "        c += term;\n";
    return t + "    }\n";
}

const char* const kFragmentShader = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
uniform sampler2D uTexture;
#ifndef COLORLESS
varying vec4 vColor;
varying vec2 vTexCoord;
#endif
void main() {
#ifdef COLORLESS
    gl_FragColor = vec4(0.0);
#elif defined(BITMAP)
    // A glyph writes only its set bits, in the raster colour.
    if (texture2D(uTexture, vTexCoord).a < 0.5) discard;
    gl_FragColor = vColor;
#elif defined(TEXTURE)
    gl_FragColor = vColor * texture2D(uTexture, vTexCoord);
#else
    gl_FragColor = vColor;
#endif
}
)";

GLuint compile(unsigned type, const std::string& defines, const char* body) {
    const EsTable& es = gc.es;
    const std::string text = "#version 100\n" + defines + body;
    const char* src = text.c_str();
    const GLuint shader = es.CreateShader(type);
    es.ShaderSource(shader, 1, &src, nullptr);
    es.CompileShader(shader);
    GLint ok = 0;
    es.GetShaderiv(shader, es::kCompileStatus, &ok);
    if (!ok) {
        char log[1024] = {0};
        es.GetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "glcompat: shader does not compile: %s\n", log);
        es.DeleteShader(shader);
        return 0;
    }
    return shader;
}

Program build(const ProgramKey& key) {
    const EsTable& es = gc.es;
    std::string defines = "#define LIGHTS " + std::to_string(key.lit ? key.lights : 0) + "\n";
    if (key.lit) defines += "#define LIGHTING\n";
    if (key.textured) defines += "#define TEXTURE\n";
    if (key.textureMatrix) defines += "#define TEXTURE_MATRIX\n";
    if (key.bitmap) defines += "#define BITMAP\n";
    if (key.palette) defines += "#define PALETTE " + std::to_string(kPaletteSize) + "\n";
    if (key.colorless) defines += "#define COLORLESS\n";
    std::string vertex = kVertexHead;
    for (int i = 0; key.lit && i < key.lights; ++i) vertex += lightTerm(i, (key.positional >> i) & 1, key.attenuated);
    vertex += kVertexTail;
    Program p{};
    const GLuint vs = compile(es::kVertexShader, defines, vertex.c_str());
    const GLuint fs = compile(es::kFragmentShader, defines, kFragmentShader);
    if (!vs || !fs) return p;
    p.id = es.CreateProgram();
    es.AttachShader(p.id, vs);
    es.AttachShader(p.id, fs);
    es.BindAttribLocation(p.id, kPosition, "aPosition");
    es.BindAttribLocation(p.id, kNormal, "aNormal");
    es.BindAttribLocation(p.id, kColor, "aColor");
    es.BindAttribLocation(p.id, kTexCoord, "aTexCoord");
    es.LinkProgram(p.id);
    es.DeleteShader(vs);
    es.DeleteShader(fs);
    GLint ok = 0;
    es.GetProgramiv(p.id, es::kLinkStatus, &ok);
    if (!ok) {
        char log[1024] = {0};
        es.GetProgramInfoLog(p.id, sizeof log, nullptr, log);
        std::fprintf(stderr, "glcompat: program does not link: %s\n", log);
        es.DeleteProgram(p.id);
        p.id = 0;
        return p;
    }
    auto at = [&](const char* name) { return es.GetUniformLocation(p.id, name); };
    p.mvp = at("uMVP");
    p.modelView = at("uModelView");
    p.normalMatrix = at("uNormalMatrix");
    p.texMatrix = at("uTexMatrix");
    p.sceneColor = at("uSceneColor");
    p.shininess = at("uShininess");
    p.sampler = at("uTexture");
    p.lightPos = at("uLightPos");
    p.lightAtt = at("uLightAtt");
    p.lightAmb = at("uLightAmb");
    p.lightDif = at("uLightDif");
    p.lightSpe = at("uLightSpe");
    p.palette = at("uPalette");
    es.UseProgram(p.id);
    gc.currentProgram = p.id;
    if (p.sampler >= 0) es.Uniform1i(p.sampler, 0);
    // Serials start at 0 in the state and count up, so ~0 means "never uploaded".
    p.matrixSerial = p.lightSerial = ~0u;
    return p;
}

}  // namespace

uint32_t ProgramKey::packed() const {
    if (bitmap) return 1;
    return 2u | (lit ? 4u : 0u) | (textured ? 8u : 0u) | (attenuated ? 16u : 0u) | (textureMatrix ? 32u : 0u) |
           (palette ? 64u : 0u) | (colorless ? 128u : 0u) |
           uint32_t(lights) << 8 | uint32_t(positional) << 16;
}

Program* useProgram(const ProgramKey& key) {
    Program& p = gc.programs[key.packed()];
    if (!p.id) {
        p = build(key);
        if (!p.id) return nullptr;
    }
    if (gc.currentProgram != p.id) {
        gc.es.UseProgram(p.id);
        gc.currentProgram = p.id;
    }
    return &p;
}

void releasePrograms() {
    for (auto& entry : gc.programs)
        if (entry.second.id) gc.es.DeleteProgram(entry.second.id);
    gc.programs.clear();
    gc.currentProgram = 0;
}

}  // namespace glcompat
