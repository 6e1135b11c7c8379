/* A C host built only against the installed package: writes a one-triangle Scene file through
 * the bulk exports and checks what the library wrote. Exit status 0 when all is as expected. */
#include <sceneapi_cs_wrapper.h>

#include <stdio.h>
#include <string.h>

static const char kFirstLine[] = "//---vantel:dal:7---\n";
static const char kMeshName[] = "\"installed mesh\"";

int main(int argc, char** argv) {
    static const float xyz[] = {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f};
    static const int abc[] = {0, 1, 2};
    char version[4];
    char text[8192];
    int id = -1;
    size_t size;
    FILE* in;
    if (argc != 2) {
        fprintf(stderr, "usage: host SCENE_FILE\n");
        return 2;
    }
    getVersion(version, (int)sizeof version);
    if (openFile(argv[1], NULL, 2, 1.0f) != 0) {
        fprintf(stderr, "openFile failed\n");
        return 1;
    }
    beginTriangleObject("installed mesh");
    addVertices(xyz, 3);
    addTriangles(abc, 1);
    endTriangleObject(&id, true);
    closeFile();

    in = fopen(argv[1], "rb");
    if (in == NULL) return 1;
    size = fread(text, 1, sizeof text - 1, in);
    fclose(in);
    text[size] = '\0';
    if (strcmp(version, "1.7") != 0 || id != 1 ||
        strncmp(text, kFirstLine, sizeof kFirstLine - 1) != 0 || strstr(text, kMeshName) == NULL) {
        fprintf(stderr, "unexpected result: version %s, id %d, file:\n%s\n", version, id, text);
        return 1;
    }
    printf("host: version %s, mesh id %d, %zu bytes written\n", version, id, size);
    return 0;
}
