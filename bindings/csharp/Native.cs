// P/Invoke declarations of every export of sceneapi_cs_wrapper, one for one with the public
// header include/sceneapi_cs_wrapper.h (a test compares the two lists of names).
// Marshalling: C bool is one byte (U1), strings are zero-terminated UTF-8 byte arrays (see
// Utf8.Encode), int* and bool* results are out-parameters, const arrays are passed as arrays.
using System.Runtime.InteropServices;

namespace Photara.SceneApi
{
    public static class Native
    {
        public const string Library = "sceneapi_cs_wrapper";
        private const CallingConvention Cdecl = CallingConvention.Cdecl;

        // ---- Lifecycle ----
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern int openFile(byte[] path, System.IntPtr reserved, int upAxis, float meterScale);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void closeFile();
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern int connectToPhotara(byte[] selector, byte[] errorBuffer, int errorBufferSize,
                                                  int upAxis, float meterScale, int versionA, int versionB,
                                                  [MarshalAs(UnmanagedType.U1)] bool preference);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void disconnect();
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern int probePhotara(byte[] selector, int versionA, int versionB,
                                              [MarshalAs(UnmanagedType.U1)] bool preference,
                                              [MarshalAs(UnmanagedType.U1)] out bool found);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void getVersion(byte[] buffer, int length);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern int getLastError(byte[] buffer, int bufferSize);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setProgress(byte[] text, float fraction);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setFlags(uint flags);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void transform(double[] matrix);

        // ---- Triangle meshes and instances ----
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void beginTriangleObject(byte[] name);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addVertex(float x, float y, float z);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addNormal(float x, float y, float z);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addUV(float u, float v);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addTriangle(int a, int b, int c);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern unsafe void addVertices(float* xyz, int count);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern unsafe void addNormals(float* xyz, int count);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern unsafe void addUVs(float* uv, int count);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern unsafe void addTriangles(int* abc, int count);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void endTriangleObject(out int objectId, [MarshalAs(UnmanagedType.U1)] bool emitNow);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void beginInstanceObject(byte[] name);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setInstanceId(int objectId);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void endInstanceObject();

        // ---- NURBS surfaces and their trimming ----
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void beginNURBSObject(byte[] name);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setKnotDomain(double umin, double umax, double vmin, double vmax);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setOrderUV(int uOrder, int vOrder);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addUKnot(double knot);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addVKnot(double knot);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addControlPoint(double x, double y, double z, double w);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void endNURBSObject(out int objectId, [MarshalAs(UnmanagedType.U1)] bool emitNow);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void beginTrim();
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addTrimCurve(int edgeCount, int inside);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setTrimDomain(double min, double max);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setTrimOrder(int order);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addTrimNumKnots(int knotCount);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addTrimKnot(double knot);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addTrimControlPoint(double u, double v, double w);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void endTrim();

        // ---- Groups ----
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void beginGroup(byte[] name);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void endGroup();

        // ---- Materials ----
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setDiffuse(int materialId, byte[] name, float r, float g, float b);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setPlastic(int materialId, byte[] name, float r, float g, float b);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setMetal(int materialId, byte[] name, float r, float g, float b);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setGlass(int materialId, byte[] name, float r, float g, float b);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setEmissive(int materialId, byte[] name);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setGeneric(int materialId, byte[] name, byte[] diffuseTexture,
                                             [MarshalAs(UnmanagedType.U1)] bool blendColor,
                                             byte[] bumpTexture, float r, float g, float b);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setMaterial(int materialId);

        // ---- Camera and lights ----
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setCamera(float px, float py, float pz, float dx, float dy, float dz,
                                            float ux, float uy, float uz,
                                            [MarshalAs(UnmanagedType.U1)] bool orthographic, float[] fov4);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addPointLight(byte[] name, float power, float[] color);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addIesLight(byte[] name, byte[] file);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addLineLight(byte[] name, float power, float length, float width);

        // ---- Animation ----
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void beginAnimation(byte[] name, float startTime, float duration,
                                                 [MarshalAs(UnmanagedType.U1)] bool interpolate);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void addFrame(int time, double[] matrix);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void setFolder(byte[] folder);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void endAnimation();
    }
}
