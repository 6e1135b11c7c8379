/* A plain C host: proves the public header is valid C and drives a few exports. */
#include "sceneapi_cs_wrapper.h"

int c_host_scene(const char* path) {
    int id = -1;
    if (openFile(path, NULL, 1, 1.0f) != 0) return -1;
    beginTriangleObject("c mesh");
    addVertex(0.0f, 0.0f, 0.0f);
    addVertex(1.0f, 0.0f, 0.0f);
    addVertex(0.0f, 1.0f, 0.0f);
    addTriangle(0, 1, 2);
    endTriangleObject(&id, false);
    closeFile();
    return id;
}
