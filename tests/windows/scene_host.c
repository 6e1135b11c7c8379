/* Writes the same small scene through the exports on every platform, so that the files can be
 * compared byte for byte. Usage: scene_host FOLDER (file with a non-ASCII name in FOLDER),
 * scene_host - (standard output), or scene_host probe (asks for a running instance once). */
#include <sceneapi_cs_wrapper.h>

#include <stdio.h>
#include <string.h>

static const char kFileName[] = "szene-\xc3\xa4-\xe5\xa0\xb4\xe6\x99\xaf.scene"; /* szene-ä-場景 */
static const char kStandardOutput[] = "-";
static const char kProbe[] = "probe";

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
    int status;
    if (argc != 2) {
        fprintf(stderr, "usage: scene_host FOLDER|-|probe\n");
        return 2;
    }
    if (strcmp(argv[1], kProbe) == 0) {
        bool found = true;
        status = probePhotara("selector", 1, 99, true, &found);
        printf("probe: %d, found %d\n", status, (int)found);
        return 0;
    }
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
