// The ES programs that stand in for the fixed-function pipeline: GL 1.1's per-vertex lighting
// equation for up to eight lights, GL_MODULATE texturing, and the bitmap program that draws
// glyph quads. One program per combination actually drawn (lit or not, with how many lights,
// textured or not), compiled the first time it is needed.
#include <cstdio>
#include <string>

#include "glcompat/compat.h"

namespace glcompat {

namespace {

enum Attribute : unsigned { kPosition = 0, kNormal = 1, kColor = 2, kTexCoord = 3 };

const char* const kVertexShader = R"(
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
#if LIGHTS > 0
uniform vec4 uLightPos[LIGHTS];  // eye space; w 0 for a directional light
uniform vec3 uLightAtt[LIGHTS];  // constant, linear, quadratic
uniform vec3 uLightAmb[LIGHTS];  // light ambient * material ambient
uniform vec3 uLightDif[LIGHTS];  // light diffuse * material diffuse
uniform vec3 uLightSpe[LIGHTS];  // light specular * material specular
#endif
varying vec4 vColor;
varying vec2 vTexCoord;
void main() {
#ifdef BITMAP
    gl_Position = aPosition;
    vColor = aColor;
    vTexCoord = aTexCoord;
#else
    gl_Position = uMVP * aPosition;
    gl_PointSize = 1.0;
#ifdef LIGHTING
    vec3 eye = (uModelView * aPosition).xyz;
    // GL_NORMALIZE is off: the normal is transformed and used as it comes.
    vec3 n = uNormalMatrix * aNormal;
    vec3 c = uSceneColor.rgb;
#if LIGHTS > 0
    for (int i = 0; i < LIGHTS; ++i) {
        vec3 vp;
        float att = 1.0;
        if (uLightPos[i].w != 0.0) {
            vec3 d = uLightPos[i].xyz - eye;
            float dist = length(d);
            vp = d / dist;
            att = 1.0 / (uLightAtt[i].x + uLightAtt[i].y * dist + uLightAtt[i].z * dist * dist);
        } else {
            vp = normalize(uLightPos[i].xyz);
        }
        float nDotVp = dot(n, vp);
        vec3 term = uLightAmb[i];
        if (nDotVp > 0.0) {
            // The viewer is at infinity (no local viewer): the half vector uses (0, 0, 1).
            vec3 h = normalize(vp + vec3(0.0, 0.0, 1.0));
            float nDotH = max(dot(n, h), 0.0);
            float specular = uShininess == 0.0 ? 1.0 : (nDotH > 0.0 ? pow(nDotH, uShininess) : 0.0);
            term += nDotVp * uLightDif[i] + specular * uLightSpe[i];
        }
        c += att * term;
    }
#endif
    vColor = clamp(vec4(c, uSceneColor.a), 0.0, 1.0);
#else
    vColor = clamp(aColor, 0.0, 1.0);
#endif
#ifdef TEXTURE
    vTexCoord = (uTexMatrix * vec4(aTexCoord, 0.0, 1.0)).xy;
#endif
#endif
}
)";

const char* const kFragmentShader = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
uniform sampler2D uTexture;
varying vec4 vColor;
varying vec2 vTexCoord;
void main() {
#ifdef BITMAP
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

int programKey(bool lit, bool textured, bool bitmap, int lights) {
    if (bitmap) return 0;
    return 1 + (textured ? 1 : 0) + 2 * (lit ? 1 + lights : 0);
}
constexpr int kProgramCount = 1 + 2 + 2 * (1 + kMaxLights);

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

Program build(bool lit, bool textured, bool bitmap, int lights) {
    const EsTable& es = gc.es;
    std::string defines = "#define LIGHTS " + std::to_string(lit ? lights : 0) + "\n";
    if (lit) defines += "#define LIGHTING\n";
    if (textured) defines += "#define TEXTURE\n";
    if (bitmap) defines += "#define BITMAP\n";
    Program p{};
    const GLuint vs = compile(es::kVertexShader, defines, kVertexShader);
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
    es.UseProgram(p.id);
    gc.currentProgram = p.id;
    if (p.sampler >= 0) es.Uniform1i(p.sampler, 0);
    // Serials start at 0 in the state and count up, so ~0 means "never uploaded".
    p.matrixSerial = p.lightSerial = ~0u;
    return p;
}

}  // namespace

Program* useProgram(bool lit, bool textured, bool bitmap, int lights) {
    if (gc.programs.size() != size_t(kProgramCount)) gc.programs.assign(kProgramCount, Program{});
    Program& p = gc.programs[programKey(lit, textured, bitmap, lights)];
    if (!p.id) {
        p = build(lit, textured, bitmap, lights);
        if (!p.id) return nullptr;
        // Attribute arrays come from the layer's one buffer, laid out once for every program.
        const EsTable& es = gc.es;
        for (unsigned a : {kPosition, kNormal, kColor, kTexCoord}) es.EnableVertexAttribArray(a);
    }
    if (gc.currentProgram != p.id) {
        gc.es.UseProgram(p.id);
        gc.currentProgram = p.id;
    }
    return &p;
}

void releasePrograms() {
    for (Program& p : gc.programs)
        if (p.id) gc.es.DeleteProgram(p.id);
    gc.programs.clear();
    gc.currentProgram = 0;
}

void pointAttributes() {
    const EsTable& es = gc.es;
    const int stride = kFloatsPerVertex * sizeof(float);
    auto offset = [](int floats) { return reinterpret_cast<const void*>(size_t(floats) * sizeof(float)); };
    es.VertexAttribPointer(kPosition, 4, GL_FLOAT, GL_FALSE, stride, offset(0));
    es.VertexAttribPointer(kNormal, 3, GL_FLOAT, GL_FALSE, stride, offset(4));
    es.VertexAttribPointer(kColor, 4, GL_FLOAT, GL_FALSE, stride, offset(7));
    es.VertexAttribPointer(kTexCoord, 2, GL_FLOAT, GL_FALSE, stride, offset(11));
}

}  // namespace glcompat
