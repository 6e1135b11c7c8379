/* sceneapi_cs_wrapper: the flat C interface through which a host hands a 3D scene to Photara,
 * written into a Scene file (or standard output) or sent over a live link.
 *
 * Call order:
 *   1. optionally getVersion and probePhotara (they need no destination);
 *   2. openFile (Scene file) or connectToPhotara (live link); calling either again ends the
 *      previous destination and opens a new one;
 *   3. any number of scene exports; every object is finished by its end export before the next
 *      object of the same kind begins;
 *   4. closeFile or disconnect (the same operation). Unloading the library with a destination
 *      still open closes it as well.
 *
 * Calls outside this order are ignored safely: a scene export with no destination open, an add,
 * set or end export whose object was never begun, and a null string or array pointer where one
 * is read. A null name is taken as an empty name. No export lets a C++ exception escape.
 * endGroup without an open group is ignored. Ending a destination writes nothing of its own:
 * groups still open then (closeFile, a new openFile or connectToPhotara, unloading the library)
 * stay open in the file, and the log says how many. A destination replaced by a new one forgets
 * its material ids as closeFile does. Names are written between double quotes or, when they hold a
 * double quote, CR, LF or a byte of 0x80 or above, in hexadecimal form and whole. A quoted name of
 * 1,048,573 bytes or more is cut like every formatted piece of the file: its first 1,048,573
 * bytes stand after the opening quote and the closing quote is cut off with the rest (a reader
 * ends the name there). No name can add text of its own to the file. With "-" as the
 * path, a standard output whose reader has gone is a write error, never a signal that ends the
 * host.
 *
 * Failures: openFile and connectToPhotara return -1, and every failure after a successful open
 * (a write that did not reach the file or standard output, a full disk, a live instance that
 * closed the link or refused data, an exception caught inside an export) is kept for
 * getLastError and written to the log. closeFile and disconnect return nothing: call
 * getLastError right after them to learn whether the destination received the whole scene.
 * connectToPhotara and probePhotara take an instance document that is not well-formed or is
 * nested more than 256 levels deep as unreadable: it lists no instance, and an instance whose
 * scene document is unreadable counts as busy (neither empty nor holding the selector).
 * All strings are zero-terminated UTF-8; no export keeps a pointer into host memory.
 * The exports are not thread-safe: call them from one thread, one at a time.
 */
#ifndef SCENEAPI_CS_WRAPPER_H
#define SCENEAPI_CS_WRAPPER_H

#ifndef __cplusplus
#include <stdbool.h> /* bool */
#include <stddef.h>  /* NULL */
#else
#include <cstddef> /* NULL */
#endif

#if defined(_WIN32)
#if defined(SCENEAPI_CS_WRAPPER_BUILD)
#define SCENEAPI_EXPORT __declspec(dllexport)
#else
#define SCENEAPI_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define SCENEAPI_EXPORT __attribute__((visibility("default")))
#else
#define SCENEAPI_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Lifecycle ---- */

/* Opens a Scene file at path ("-": standard output) and writes its header and import options;
 * reserved is not read. Returns 0, or -1 (previous destination left open) when it cannot open. */
SCENEAPI_EXPORT int openFile(const char* path, const void* reserved, int upAxis, float meterScale);
/* Ends the destination (closes the file or the link) and forgets every material id. */
SCENEAPI_EXPORT void closeFile(void);
/* Opens a live link to a running Photara instance of a major version in versionA..versionB and
 * sends the import options. An instance whose scene holds an element named selector is
 * preferred; with preference, any instance in range may be chosen, else only one with an empty
 * scene. When none qualifies, Photara is started and awaited (up to 29 seconds). Returns 0, or
 * -1 with the reason copied into errorBuffer as strncpy does with errorBufferSize. The previous
 * destination is ended in either case. */
SCENEAPI_EXPORT int connectToPhotara(const char* selector, char* errorBuffer, int errorBufferSize,
                                     int upAxis, float meterScale, int versionA, int versionB,
                                     bool preference);
/* Same as closeFile. */
SCENEAPI_EXPORT void disconnect(void);
/* Asks, without connecting, whether connectToPhotara with these arguments would find a running
 * instance: returns 0 when one would be chosen, -1 otherwise; *found tells whether it holds
 * selector. Needs no destination and leaves the current one alone. */
SCENEAPI_EXPORT int probePhotara(const char* selector, int versionA, int versionB, bool preference,
                                 bool* found);
/* Copies the first failure since the last successful openFile/connectToPhotara (or the failure
 * of the last open call itself) into buffer as strncpy does with bufferSize, and returns -1;
 * returns 0 with buffer[0] = 0 when there is none. The text names what failed and why, e.g.
 * opening "/x/y.scene": No such file or directory
 * writing "/mnt/full/y.scene": No space left on device (1048576 bytes had reached it)
 * Failed to connect. <reason> searched: <the installation records and library paths looked at>
 * A null buffer or a size below one copies nothing. */
SCENEAPI_EXPORT int getLastError(char* buffer, int bufferSize);
/* Writes the interface version "1.7" and a zero into buffer (at least 4 bytes; length unread). */
SCENEAPI_EXPORT void getVersion(char* buffer, int length);
/* Reports progress of the transfer (text and fraction 0..1); needs a destination. */
SCENEAPI_EXPORT void setProgress(const char* text, float fraction);
/* Sends the scene flags word; needs a destination. */
SCENEAPI_EXPORT void setFlags(unsigned flags);
/* Multiplies a 4x4 matrix (16 doubles, row after row) onto the current transform. */
SCENEAPI_EXPORT void transform(const double* matrix);

/* ---- Triangle meshes and instances ---- */

/* Begins a mesh; a mesh or instance begun and not ended is dropped unwritten. */
SCENEAPI_EXPORT void beginTriangleObject(const char* name);
/* Appends a vertex to the mesh begun last. */
SCENEAPI_EXPORT void addVertex(float x, float y, float z);
/* Appends a normal to the mesh begun last. */
SCENEAPI_EXPORT void addNormal(float x, float y, float z);
/* Appends a texture coordinate pair to the mesh begun last. */
SCENEAPI_EXPORT void addUV(float u, float v);
/* Appends a triangle (three vertex indices from 0) to the mesh begun last. */
SCENEAPI_EXPORT void addTriangle(int a, int b, int c);
/* Bulk forms for hosts that hold whole arrays, appending to the mesh begun last in the same
 * order as the single calls; a null array or a count below one is ignored, and the values are
 * copied before the call returns. */
/* Appends count vertices (x, y, z each): the same as count calls of addVertex. */
SCENEAPI_EXPORT void addVertices(const float* xyz, int count);
/* Appends count normals (x, y, z each): the same as count calls of addNormal. */
SCENEAPI_EXPORT void addNormals(const float* xyz, int count);
/* Appends count texture coordinate pairs (u, v each): the same as count calls of addUV. */
SCENEAPI_EXPORT void addUVs(const float* uv, int count);
/* Appends count triangles (a, b, c each): the same as count calls of addTriangle. */
SCENEAPI_EXPORT void addTriangles(const int* abc, int count);
/* Writes the mesh as a definition, places it too when emitNow, stores its object id. */
SCENEAPI_EXPORT void endTriangleObject(int* objectId, bool emitNow);
/* Begins a placement of an already defined mesh or surface. */
SCENEAPI_EXPORT void beginInstanceObject(const char* name);
/* Names the defined object (an id returned by an end export) the instance places. */
SCENEAPI_EXPORT void setInstanceId(int objectId);
/* Writes the placement begun by beginInstanceObject. */
SCENEAPI_EXPORT void endInstanceObject(void);

/* ---- NURBS surfaces and their trimming ---- */

/* Begins a NURBS surface; a surface begun and not ended is dropped unwritten. */
SCENEAPI_EXPORT void beginNURBSObject(const char* name);
/* Sets the parameter domain of the surface begun last. */
SCENEAPI_EXPORT void setKnotDomain(double umin, double umax, double vmin, double vmax);
/* Sets the orders in u and v of the surface begun last. */
SCENEAPI_EXPORT void setOrderUV(int uOrder, int vOrder);
/* Appends a u knot to the surface begun last. */
SCENEAPI_EXPORT void addUKnot(double knot);
/* Appends a v knot to the surface begun last. */
SCENEAPI_EXPORT void addVKnot(double knot);
/* Appends a weighted control point to the surface begun last. */
SCENEAPI_EXPORT void addControlPoint(double x, double y, double z, double w);
/* Writes the surface as a definition, places it too when emitNow, stores its object id. */
SCENEAPI_EXPORT void endNURBSObject(int* objectId, bool emitNow);
/* Begins the trimming of the open surface (after its points, before endNURBSObject). */
SCENEAPI_EXPORT void beginTrim(void);
/* Begins a trim loop of edgeCount edges; inside is non-zero for a hole. */
SCENEAPI_EXPORT void addTrimCurve(int edgeCount, int inside);
/* Sets the parameter domain of the next trim edge. */
SCENEAPI_EXPORT void setTrimDomain(double min, double max);
/* Sets the order of the next trim edge. */
SCENEAPI_EXPORT void setTrimOrder(int order);
/* Sets the knot count of the next trim edge. */
SCENEAPI_EXPORT void addTrimNumKnots(int knotCount);
/* Appends a knot of the current trim edge. */
SCENEAPI_EXPORT void addTrimKnot(double knot);
/* Appends a weighted control point (u, v, w) of the current trim edge. */
SCENEAPI_EXPORT void addTrimControlPoint(double u, double v, double w);
/* Hands the trimming to the open surface; a second trimming replaces the first. */
SCENEAPI_EXPORT void endTrim(void);

/* ---- Groups ---- */

/* Opens a named group around the objects that follow. */
SCENEAPI_EXPORT void beginGroup(const char* name);
/* Closes the group opened last. */
SCENEAPI_EXPORT void endGroup(void);

/* ---- Materials (colours are clamped to 0..1; an id keeps its first definition) ---- */

/* Defines a matte material under materialId. */
SCENEAPI_EXPORT void setDiffuse(int materialId, const char* name, float r, float g, float b);
/* Defines a plastic material under materialId. */
SCENEAPI_EXPORT void setPlastic(int materialId, const char* name, float r, float g, float b);
/* Defines a metal material under materialId. */
SCENEAPI_EXPORT void setMetal(int materialId, const char* name, float r, float g, float b);
/* Defines a glass material under materialId. */
SCENEAPI_EXPORT void setGlass(int materialId, const char* name, float r, float g, float b);
/* Defines a light-emitting material (not visible in shadows) under materialId. */
SCENEAPI_EXPORT void setEmissive(int materialId, const char* name);
/* Defines a material with optional diffuse and bump textures (empty or null: none). */
SCENEAPI_EXPORT void setGeneric(int materialId, const char* name, const char* diffuseTexture,
                                bool blendColor, const char* bumpTexture, float r, float g,
                                float b);
/* Gives the mesh or surface under construction the material defined under materialId. */
SCENEAPI_EXPORT void setMaterial(int materialId);

/* ---- Camera and lights (between objects, not inside one) ---- */

/* Writes the camera; fov4 (4 values) is read only when orthographic is false. */
SCENEAPI_EXPORT void setCamera(float px, float py, float pz, float dx, float dy, float dz, float ux,
                               float uy, float uz, bool orthographic, const float* fov4);
/* Writes a point light at the origin: power in lumens (truncated), color 3 values. */
SCENEAPI_EXPORT void addPointLight(const char* name, float power, const float* color);
/* Writes a light with the IES profile in file, turned a quarter turn about the x axis. */
SCENEAPI_EXPORT void addIesLight(const char* name, const char* file);
/* Writes a rectangular area light, length along x and width along y, power in lumens. */
SCENEAPI_EXPORT void addLineLight(const char* name, float power, float length, float width);

/* ---- Animation ---- */

/* Begins a keyframed animation; one begun and not ended is dropped unwritten. */
SCENEAPI_EXPORT void beginAnimation(const char* name, float startTime, float duration,
                                    bool interpolate);
/* Appends a keyframe: a time and a 4x4 matrix (16 doubles, row after row). */
SCENEAPI_EXPORT void addFrame(int time, const double* matrix);
/* Sets the folder of the animation begun last. */
SCENEAPI_EXPORT void setFolder(const char* folder);
/* Writes the animation begun last. */
SCENEAPI_EXPORT void endAnimation(void);

#ifdef __cplusplus
}
#endif

#endif /* SCENEAPI_CS_WRAPPER_H */
