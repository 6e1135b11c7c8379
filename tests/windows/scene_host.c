/* Writes one scene with every kind of export, so that files can be compared byte for byte: the
 * Windows DLL's with the Linux library's, the Python binding's with the C interface's; built
 * against an installed package, it is the package tests' host. Usage:
 * scene_host FOLDER (file with a non-ASCII name in FOLDER), scene_host - (standard output),
 * scene_host probe (asks for a running instance once), or scene_host announce FOLDER (registers
 * this process in the stand-in application's instances FOLDER as a running instance of version 8
 * whose scene holds an object named "selector", then probes once), or scene_host link FOLDER PORT
 * (registers likewise, offering PORT, then sends the scene over a live link to the instance
 * chosen). */
#include <sceneapi_cs_wrapper.h>

#include <stdio.h>
#include <string.h>
#ifdef _WIN32
#include <process.h>
#define current_process_id() _getpid()
#else
#include <unistd.h>
#define current_process_id() getpid()
#endif

/* Writes text to FOLDER/<this process id><suffix>; 0 on success. */
static int write_instance_file(const char* folder, const char* suffix, const char* text) {
    char path[4096];
    FILE* file;
    int written;
    if (snprintf(path, sizeof path, "%s/%ld%s", folder, (long)current_process_id(), suffix) >=
        (int)sizeof path)
        return -1;
    file = fopen(path, "wb");
    if (!file) return -1;
    written = fputs(text, file) >= 0;
    return fclose(file) == 0 && written ? 0 : -1;
}

/* Asks for a running instance once and prints the answer. */
static int probe(void) {
    bool found = true;
    int status = probePhotara("selector", 1, 99, true, &found);
    printf("probe: %d, found %d\n", status, (int)found);
    return 0;
}

static void write_scene(void) {
    static const float vertices[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0.5f};
    static const float normals[] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0.6f, 0.8f};
    static const float uvs[] = {0, 0, 1, 0, 1, 1, 0, 0.25f};
    static const int triangles[] = {0, 1, 2, 0, 2, 3};
    static const double moved[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2.5, -1, 0.125, 1};
    static const double turned[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    static const float fov4[4] = {-0.5f, 0.5f, -0.375f, 0.375f};
    static const float warm[3] = {1, 0.9f, 0.7f};
    int id = 0, surface = 0, i;
    setProgress("meshes", 0.25f);
    setFlags(3u);
    setDiffuse(1, "matte", 0.5f, 0.5f, 0.5f);
    setPlastic(2, "red \"shiny\"", 1.5f, -0.2f, 0.5f);
    setMetal(3, "steel", 0.6f, 0.6f, 0.65f);
    setGlass(4, "glass", 0.9f, 1, 0.9f);
    setEmissive(5, "lamp");
    setGeneric(6, "wood", "textures/wood.png", true, "textures/wood_bump.png", 1, 1, 1);
    setMetal(3, "ignored", 0, 0, 0);
    beginGroup("Collection");
    beginTriangleObject("quad");
    addVertices(vertices, 4);
    addNormals(normals, 4);
    addUVs(uvs, 4);
    addTriangles(triangles, 2);
    setMaterial(6);
    endTriangleObject(&id, false);
    beginGroup("copy 1");
    transform(moved);
    beginInstanceObject("quad");
    setInstanceId(id);
    setMaterial(2);
    endInstanceObject();
    endGroup();
    beginGroup("Ünïcode");
    transform(turned);
    beginInstanceObject("quad");
    setInstanceId(id);
    endInstanceObject();
    beginAnimation("Ünïcode", 0.0416667f, 0.416667f, true);
    addFrame(1, turned);
    addFrame(2, moved);
    setFolder("motion");
    endAnimation();
    endGroup();
    endGroup();
    beginNURBSObject("patch");
    setKnotDomain(0, 1, 0, 1);
    setOrderUV(2, 2);
    for (i = 0; i < 4; ++i)
        addUKnot(i / 2);
    for (i = 0; i < 4; ++i)
        addVKnot(i / 2);
    addControlPoint(0, 0, 0, 1);
    addControlPoint(1, 0, 0, 1);
    addControlPoint(0, 1, 0, 1);
    addControlPoint(1, 1, 0.5, 1);
    beginTrim();
    addTrimCurve(1, 0);
    setTrimDomain(0, 1);
    setTrimOrder(2);
    addTrimNumKnots(4);
    for (i = 0; i < 4; ++i)
        addTrimKnot(i / 2);
    addTrimControlPoint(0, 0, 1);
    addTrimControlPoint(1, 1, 1);
    endTrim();
    setMaterial(3);
    endNURBSObject(&surface, true);
    setCamera(0, -5, 1, 0, 1, 0, 0, 0, 1, false, fov4);
    setCamera(0, 0, 10, 0, 0, -1, 0, 1, 0, true, NULL);
    setProgress("lights", 0.75f);
    addPointLight("bulb", 99.9f, warm);
    addIesLight("spot", "profiles/spot.ies");
    addLineLight("panel", 100, 2, 1);
}

int main(int argc, char** argv) {
    char path[4096];
    char instance[512];
    char error[512] = "";
    const int announce = argc == 3 && strcmp(argv[1], "announce") == 0;
    const int link = argc == 4 && strcmp(argv[1], "link") == 0;
    if (announce || link) {
        if (snprintf(instance, sizeof instance,
                     "<photara_instance><version_major>8</version_major><process_id>%ld"
                     "</process_id><livelink_port>%s</livelink_port></photara_instance>",
                     (long)current_process_id(), link ? argv[3] : "9000") >= (int)sizeof instance ||
            write_instance_file(argv[2], ".scene",
                                "<photara_scene><scene><link number=\"1\"><object "
                                "name=\"selector\"/></link></scene></photara_scene>") != 0 ||
            write_instance_file(argv[2], ".instance", instance) != 0)
            return 1;
        if (announce) return probe();
        if (connectToPhotara("selector", error, (int)sizeof error, 2, 0.01f, 1, 99, true) != 0) {
            fprintf(stderr, "link: %s\n", error);
            return 1;
        }
        write_scene();
        disconnect();
        return 0;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: scene_host FOLDER|-|probe|announce FOLDER|link FOLDER PORT\n");
        return 2;
    }
    if (strcmp(argv[1], "probe") == 0) return probe();
    if (strcmp(argv[1], "-") == 0) {
        strcpy(path, "-");
    } else if (snprintf(path, sizeof path, "%s/szene-\xc3\xa4-\xe5\xa0\xb4\xe6\x99\xaf.scene",
                        argv[1]) >= (int)sizeof path) { /* szene-ä-場景 */
        return 2;
    }
    if (openFile(path, NULL, 2, 0.01f) != 0) return 1;
    write_scene();
    closeFile();
    return 0;
}
