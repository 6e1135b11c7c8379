// The idiomatic layer over Native: a disposable session per destination (Scene file or live link),
// strings as .NET strings, arrays and spans instead of one call per value, exceptions instead of
// status codes. The library holds one destination per process, and so does this layer: opening a
// session ends the one before it, as the library does.
using System;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;

namespace Photara.SceneApi
{
    public enum UpAxis { X = 0, Y = 1, Z = 2 }

    // A destination that could not be opened or did not receive the whole scene (a full disk, a
    // standard output whose reader went away, a live instance that closed the link); the message
    // is the library's own report (getLastError).
    public sealed class SceneApiException : IOException
    {
        public SceneApiException(string message) : base(message) { }

        // The library's report of the first failure since the last successful open, or null.
        internal static string LastError()
        {
            byte[] buffer = new byte[4096];
            return Native.getLastError(buffer, buffer.Length - 1) == 0 ? null : Utf8.Decode(buffer);
        }
    }

    // Zero-terminated UTF-8, the library's only string form; null stays null.
    public static class Utf8
    {
        public static byte[] Encode(string text)
        {
            if (text == null) return null;
            byte[] bytes = new byte[Encoding.UTF8.GetByteCount(text) + 1];
            Encoding.UTF8.GetBytes(text, 0, text.Length, bytes, 0);
            return bytes;
        }

        public static string Decode(byte[] buffer)
        {
            int end = Array.IndexOf(buffer, (byte)0);
            return Encoding.UTF8.GetString(buffer, 0, end < 0 ? buffer.Length : end);
        }
    }

    public struct ProbeResult
    {
        public bool WouldConnect; // an instance would be chosen
        public bool HoldsSelector; // the chosen instance holds the selector
    }

    public sealed class SceneSession : IDisposable
    {
        private const int ErrorBufferSize = 1024;
        private const int VersionBufferSize = 4;
        private static SceneSession current;
        private bool open = true;

        private SceneSession() { current = this; }

        // The interface version, "1.7" for this library.
        public static string Version
        {
            get
            {
                byte[] buffer = new byte[VersionBufferSize];
                Native.getVersion(buffer, buffer.Length);
                return Utf8.Decode(buffer);
            }
        }

        // Opens a Scene file ("-": standard output).
        public static SceneSession OpenFile(string path, UpAxis upAxis = UpAxis.Y, float meterScale = 1.0f)
        {
            if (Native.openFile(Utf8.Encode(path), IntPtr.Zero, (int)upAxis, meterScale) != 0)
                throw new SceneApiException(SceneApiException.LastError() ?? "cannot open Scene file " + path);
            return new SceneSession();
        }

        // Opens a live link to a running Photara of a major version in versionA..versionB.
        public static SceneSession Connect(string selector, int versionA, int versionB, bool preference,
                                           UpAxis upAxis = UpAxis.Y, float meterScale = 1.0f)
        {
            byte[] error = new byte[ErrorBufferSize];
            int status = Native.connectToPhotara(Utf8.Encode(selector), error, error.Length - 1, (int)upAxis,
                                                 meterScale, versionA, versionB, preference);
            if (status != 0)
            {
                current = null; // the library has ended the previous destination
                throw new SceneApiException(SceneApiException.LastError() ?? Utf8.Decode(error));
            }
            return new SceneSession();
        }

        public static ProbeResult Probe(string selector, int versionA, int versionB, bool preference)
        {
            bool found;
            int status = Native.probePhotara(Utf8.Encode(selector), versionA, versionB, preference, out found);
            return new ProbeResult { WouldConnect = status == 0, HoldsSelector = found };
        }

        public bool IsOpen { get { return open && current == this; } }

        // Ends the destination; throws SceneApiException when it did not receive the whole scene
        // (as a FileStream does when its last flush fails). Ending twice does nothing.
        public void Close()
        {
            if (!IsOpen) return;
            Native.closeFile();
            open = false;
            current = null;
            string failure = SceneApiException.LastError();
            if (failure != null) throw new SceneApiException(failure);
        }

        public void Dispose() { Close(); }

        private void Check()
        {
            if (!IsOpen) throw new ObjectDisposedException("SceneSession", "the destination has ended");
        }

        public void SetProgress(string text, float fraction) { Check(); Native.setProgress(Utf8.Encode(text), fraction); }
        public void SetFlags(uint flags) { Check(); Native.setFlags(flags); }
        public void Transform(double[] matrix4x4) { Check(); Native.transform(Matrix(matrix4x4)); }

        // ---- Geometry ----

        // A whole mesh in one go: xyz triples, abc index triples, optional normals and uv pairs.
        public int AddMesh(string name, ReadOnlySpan<float> vertices, ReadOnlySpan<int> triangles,
                           ReadOnlySpan<float> normals = default(ReadOnlySpan<float>),
                           ReadOnlySpan<float> uvs = default(ReadOnlySpan<float>), int? materialId = null,
                           bool emitNow = true)
        {
            MeshBuilder mesh = BeginMesh(name);
            mesh.AddVertices(vertices);
            mesh.AddTriangles(triangles);
            if (!normals.IsEmpty) mesh.AddNormals(normals);
            if (!uvs.IsEmpty) mesh.AddUVs(uvs);
            if (materialId.HasValue) mesh.SetMaterial(materialId.Value);
            return mesh.End(emitNow);
        }

        public MeshBuilder BeginMesh(string name) { Check(); Native.beginTriangleObject(Utf8.Encode(name)); return new MeshBuilder(); }
        public NurbsBuilder BeginNurbs(string name) { Check(); Native.beginNURBSObject(Utf8.Encode(name)); return new NurbsBuilder(); }

        // Places an object defined earlier (an id returned by End or AddMesh).
        public void AddInstance(string name, int objectId)
        {
            Check();
            Native.beginInstanceObject(Utf8.Encode(name));
            Native.setInstanceId(objectId);
            Native.endInstanceObject();
        }

        // A named group around what follows, closed when the returned object is disposed.
        public IDisposable BeginGroup(string name) { Check(); Native.beginGroup(Utf8.Encode(name)); return new Group(); }

        // ---- Materials, camera, lights, animation ----

        public void DefineDiffuse(int id, string name, float r, float g, float b) { Check(); Native.setDiffuse(id, Utf8.Encode(name), r, g, b); }
        public void DefinePlastic(int id, string name, float r, float g, float b) { Check(); Native.setPlastic(id, Utf8.Encode(name), r, g, b); }
        public void DefineMetal(int id, string name, float r, float g, float b) { Check(); Native.setMetal(id, Utf8.Encode(name), r, g, b); }
        public void DefineGlass(int id, string name, float r, float g, float b) { Check(); Native.setGlass(id, Utf8.Encode(name), r, g, b); }
        public void DefineEmissive(int id, string name) { Check(); Native.setEmissive(id, Utf8.Encode(name)); }
        public void DefineGeneric(int id, string name, string diffuseTexture, bool blendColor, string bumpTexture,
                                  float r, float g, float b)
        {
            Check();
            Native.setGeneric(id, Utf8.Encode(name), Utf8.Encode(diffuseTexture), blendColor, Utf8.Encode(bumpTexture), r, g, b);
        }

        // A perspective camera when fov4 holds 4 values, an orthographic one when it is null.
        public void SetCamera(float[] position, float[] direction, float[] up, float[] fov4)
        {
            Check();
            if (position.Length != 3 || direction.Length != 3 || up.Length != 3 || (fov4 != null && fov4.Length != 4))
                throw new ArgumentException("camera vectors take 3 values, the field of view 4");
            Native.setCamera(position[0], position[1], position[2], direction[0], direction[1], direction[2],
                             up[0], up[1], up[2], fov4 == null, fov4);
        }

        public void AddPointLight(string name, float power, float r, float g, float b)
        {
            Check();
            Native.addPointLight(Utf8.Encode(name), power, new[] { r, g, b });
        }
        public void AddIesLight(string name, string file) { Check(); Native.addIesLight(Utf8.Encode(name), Utf8.Encode(file)); }
        public void AddLineLight(string name, float power, float length, float width) { Check(); Native.addLineLight(Utf8.Encode(name), power, length, width); }

        public AnimationBuilder BeginAnimation(string name, float startTime, float duration, bool interpolate)
        {
            Check();
            Native.beginAnimation(Utf8.Encode(name), startTime, duration, interpolate);
            return new AnimationBuilder();
        }

        internal static double[] Matrix(double[] m)
        {
            if (m == null || m.Length != 16) throw new ArgumentException("a matrix takes 16 values, row after row");
            return m;
        }

        internal static unsafe void Bulk(ReadOnlySpan<float> values, int per, string what, BulkFloats call)
        {
            if (values.Length % per != 0) throw new ArgumentException(what + " take " + per + " values each");
            if (values.IsEmpty) return;
            fixed (float* p = &MemoryMarshal.GetReference(values)) call(p, values.Length / per);
        }

        internal unsafe delegate void BulkFloats(float* values, int count);

        private sealed class Group : IDisposable
        {
            private bool ended;
            public void Dispose() { if (!ended) Native.endGroup(); ended = true; }
        }
    }

    public sealed class MeshBuilder
    {
        internal MeshBuilder() { }
        public void AddVertex(float x, float y, float z) { Native.addVertex(x, y, z); }
        public void AddNormal(float x, float y, float z) { Native.addNormal(x, y, z); }
        public void AddUV(float u, float v) { Native.addUV(u, v); }
        public void AddTriangle(int a, int b, int c) { Native.addTriangle(a, b, c); }
        public unsafe void AddVertices(ReadOnlySpan<float> xyz) { SceneSession.Bulk(xyz, 3, "vertices", Native.addVertices); }
        public unsafe void AddNormals(ReadOnlySpan<float> xyz) { SceneSession.Bulk(xyz, 3, "normals", Native.addNormals); }
        public unsafe void AddUVs(ReadOnlySpan<float> uv) { SceneSession.Bulk(uv, 2, "uvs", Native.addUVs); }
        public unsafe void AddTriangles(ReadOnlySpan<int> abc)
        {
            if (abc.Length % 3 != 0) throw new ArgumentException("triangles take 3 indices each");
            if (abc.IsEmpty) return;
            fixed (int* p = &MemoryMarshal.GetReference(abc)) Native.addTriangles(p, abc.Length / 3);
        }
        public void SetMaterial(int materialId) { Native.setMaterial(materialId); }
        // Writes the mesh (and places it when emitNow) and returns its object id.
        public int End(bool emitNow = true) { int id; Native.endTriangleObject(out id, emitNow); return id; }
    }

    public sealed class NurbsBuilder
    {
        internal NurbsBuilder() { }
        public void SetKnotDomain(double umin, double umax, double vmin, double vmax) { Native.setKnotDomain(umin, umax, vmin, vmax); }
        public void SetOrder(int uOrder, int vOrder) { Native.setOrderUV(uOrder, vOrder); }
        public void AddUKnots(params double[] knots) { foreach (double k in knots) Native.addUKnot(k); }
        public void AddVKnots(params double[] knots) { foreach (double k in knots) Native.addVKnot(k); }
        public void AddControlPoint(double x, double y, double z, double w) { Native.addControlPoint(x, y, z, w); }
        public void SetMaterial(int materialId) { Native.setMaterial(materialId); }
        public TrimBuilder BeginTrim() { Native.beginTrim(); return new TrimBuilder(); }
        public int End(bool emitNow = true) { int id; Native.endNURBSObject(out id, emitNow); return id; }
    }

    public sealed class TrimBuilder
    {
        internal TrimBuilder() { }
        public void AddLoop(int edgeCount, bool hole) { Native.addTrimCurve(edgeCount, hole ? 1 : 0); }
        // One trim edge: domain, order, knots and (u, v, w) control points.
        public void AddEdge(double min, double max, int order, double[] knots, double[] uvw)
        {
            if (uvw.Length % 3 != 0) throw new ArgumentException("trim control points take 3 values each");
            Native.setTrimDomain(min, max);
            Native.setTrimOrder(order);
            Native.addTrimNumKnots(knots.Length);
            foreach (double k in knots) Native.addTrimKnot(k);
            for (int i = 0; i < uvw.Length; i += 3) Native.addTrimControlPoint(uvw[i], uvw[i + 1], uvw[i + 2]);
        }
        public void End() { Native.endTrim(); }
    }

    public sealed class AnimationBuilder
    {
        internal AnimationBuilder() { }
        public void AddFrame(int time, double[] matrix4x4) { Native.addFrame(time, SceneSession.Matrix(matrix4x4)); }
        public void SetFolder(string folder) { Native.setFolder(Utf8.Encode(folder)); }
        public void End() { Native.endAnimation(); }
    }
}
