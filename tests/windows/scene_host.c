/* Writes the same small scene through the exports on every platform, so that the files can be
 * compared byte for byte. Usage: scene_host FOLDER (file with a non-ASCII name in FOLDER),
 * scene_host - (standard output), scene_host probe (asks for a running instance once), or
 * scene_host announce FOLDER (registers this process in the stand-in application's instances
 * FOLDER as a running instance of version 8 whose scene holds an object named "selector",
 * then probes once), or scene_host link FOLDER PORT (registers likewise, offering PORT, then
 * sends the scene over a live link to the instance chosen). */
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

static const char kFileName[] = "szene-\xc3\xa4-\xe5\xa0\xb4\xe6\x99\xaf.scene"; /* szene-ä-場景 */
static const char kStandardOutput[] = "-";
static const char kProbe[] = "probe";
static const char kAnnounce[] = "announce";
static const char kLink[] = "link";
static const char kDefaultPort[] = "9000";
static const char kInstanceFormat[] =
    "<photara_instance><version_major>8</version_major><process_id>%ld</process_id>"
    "<livelink_port>%s</livelink_port></photara_instance>";
static const char kSceneDocument[] =
    "<photara_scene><scene><link number=\"1\"><object name=\"selector\"/></link></scene>"
    "</photara_scene>";

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
    static const float xyz[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0.5f};
    static const int abc[] = {0, 1, 2, 1, 3, 2};
    static const double matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.25, 0.5, 2, 1};
    static const float fov4[4] = {0.5f, 0.375f, 0, 0};
    static const float color[3] = {1, 0.5f, 0.25f};
    int id = 0;
    setProgress("scene", 0.5f);
    setDiffuse(1, "W\xc3\xbcrfel", 0.2f, 0.4f, 0.6f);
    beginGroup("group");
    transform(matrix);
    beginTriangleObject("mesh \xe7\xab\x8b");
    addVertices(xyz, 4);
    addTriangles(abc, 2);
    addUV(0.125f, 0.25f);
    setMaterial(1);
    endTriangleObject(&id, true);
    beginInstanceObject("copy");
    setInstanceId(id);
    endInstanceObject();
    endGroup();
    setCamera(0, -4, 1, 0, 1, 0, 0, 0, 1, false, fov4);
    addPointLight("bulb", 1200.5f, color);
    beginAnimation("spin", 0, 2, true);
    addFrame(1, matrix);
    endAnimation();
}

int main(int argc, char** argv) {
    char path[4096];
    char instance[512];
    char error[512] = "";
    const int announce = argc == 3 && strcmp(argv[1], kAnnounce) == 0;
    const int link = argc == 4 && strcmp(argv[1], kLink) == 0;
    if (announce || link) {
        if (snprintf(instance, sizeof instance, kInstanceFormat, (long)current_process_id(),
                     link ? argv[3] : kDefaultPort) >= (int)sizeof instance ||
            write_instance_file(argv[2], ".scene", kSceneDocument) != 0 ||
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
    if (strcmp(argv[1], kProbe) == 0) return probe();
    if (strcmp(argv[1], kStandardOutput) == 0) {
        strcpy(path, kStandardOutput);
    } else if (snprintf(path, sizeof path, "%s/%s", argv[1], kFileName) >= (int)sizeof path) {
        return 2;
    }
    if (openFile(path, NULL, 2, 0.01f) != 0) return 1;
    write_scene();
    closeFile();
    return 0;
}
