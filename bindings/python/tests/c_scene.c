/* The reference scene made through the C interface directly: test_golden makes the same calls
 * through the Python session API and compares the two files byte for byte.
 * Usage: c_scene OUT.scene */
#include "sceneapi_cs_wrapper.h"

int main(int argc, char** argv) {
    static const float vertices[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0.5f};
    static const float normals[] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0.6f, 0.8f};
    static const float uvs[] = {0, 0, 1, 0, 1, 1, 0, 0.25f};
    static const int triangles[] = {0, 1, 2, 0, 2, 3};
    static const double moved[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2.5, -1, 0.125, 1};
    static const double turned[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    static const float fov4[4] = {-0.5f, 0.5f, -0.375f, 0.375f};
    static const float warm[3] = {1, 0.9f, 0.7f};
    int id = 0, surface = 0;
    if (argc != 2 || openFile(argv[1], NULL, 2, 0.01f) != 0) return 1;
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
    addUKnot(0); addUKnot(0); addUKnot(1); addUKnot(1);
    addVKnot(0); addVKnot(0); addVKnot(1); addVKnot(1);
    addControlPoint(0, 0, 0, 1); addControlPoint(1, 0, 0, 1);
    addControlPoint(0, 1, 0, 1); addControlPoint(1, 1, 0.5, 1);
    beginTrim();
    addTrimCurve(1, 0);
    setTrimDomain(0, 1);
    setTrimOrder(2);
    addTrimNumKnots(4);
    addTrimKnot(0); addTrimKnot(0); addTrimKnot(1); addTrimKnot(1);
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
    closeFile();
    return 0;
}
