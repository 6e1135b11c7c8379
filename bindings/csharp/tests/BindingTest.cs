// Drives the library through the C# binding under mono: a scene with every kind of export into
// a Scene file whose folder and name are not ASCII, the error paths of the idiomatic layer, and
// a 1M-triangle mesh exported call by call and in bulk (timed; both files must be the same).
// Argument: a scratch folder. Exit status 0 when every check holds.
using System;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text;
using Photara.SceneApi;

static class BindingTest
{
    const string FirstLine = "//---vantel:dal:7---\n";
    const string MeshName = "Würfel 立方体";
    const int GridColumns = 1000, GridRows = 500; // 1,000,000 triangles
    static int failures;

    static void Check(bool condition, string what)
    {
        if (!condition) { failures++; Console.Error.WriteLine("FAILED: " + what); }
    }

    static string HexName(string name)
    {
        return "xX" + string.Concat(Encoding.UTF8.GetBytes(name).Select(b => b.ToString("x2")));
    }

    // The action throws a T whose message starts with the given text.
    static void Expect<T>(Action action, string what, string message = "") where T : Exception
    {
        try { action(); Check(false, what + ": no " + typeof(T).Name); }
        catch (T e) { Check(e.Message.StartsWith(message, StringComparison.Ordinal), what + ": " + e.Message); }
    }

    // Every declaration resolves to an export of the library as loaded.
    static void AllEntryPointsResolve()
    {
        foreach (MethodInfo m in typeof(Native).GetMethods(BindingFlags.Public | BindingFlags.Static))
        {
            if (m.GetCustomAttributes(typeof(DllImportAttribute), false).Length == 0) continue;
            try { Marshal.Prelink(m); }
            catch (Exception e) { Check(false, m.Name + " does not resolve: " + e.Message); }
        }
    }

    static void WholeScene(string folder)
    {
        string dir = Path.Combine(folder, "Szene ä 場景");
        Directory.CreateDirectory(dir);
        string path = Path.Combine(dir, "ausgabe-ö.scene");
        int meshId, nurbsId;
        using (SceneSession s = SceneSession.OpenFile(path, UpAxis.Z, 0.5f))
        {
            s.SetProgress("exporting", 0.5f);
            s.SetFlags(7u);
            s.DefinePlastic(3, "red plastic", 1.5f, 0.25f, 0f);
            s.DefineGeneric(4, "textured", "wood.png", true, null, 0.5f, 0.5f, 0.5f);
            using (s.BeginGroup("group one"))
            {
                s.Transform(new double[] { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2.5, 0, 0, 1 });
                meshId = s.AddMesh(MeshName, new float[] { 0, 0, 0, 1, 0, 0, 0, 1, 0 }, new[] { 0, 1, 2 },
                                   new float[] { 0, 0, 1, 0, 0, 1, 0, 0, 1 }, new float[] { 0, 0, 1, 0, 0, 1 }, 3);
                s.AddInstance("copy", meshId);
            }
            NurbsBuilder n = s.BeginNurbs("patch");
            n.SetKnotDomain(0, 1, 0, 1);
            n.SetOrder(2, 2);
            n.AddUKnots(0, 0, 1, 1);
            n.AddVKnots(0, 0, 1, 1);
            n.AddControlPoint(0, 0, 0, 1);
            n.AddControlPoint(1, 0, 0, 1);
            n.AddControlPoint(0, 1, 0, 1);
            n.AddControlPoint(1, 1, 0, 1);
            TrimBuilder t = n.BeginTrim();
            t.AddLoop(1, false);
            t.AddEdge(0, 1, 2, new double[] { 0, 0, 1, 1 }, new double[] { 0, 0, 1, 1, 1, 1 });
            t.End();
            n.SetMaterial(4);
            nurbsId = n.End(false);
            s.SetCamera(new float[] { 0, -5, 1 }, new float[] { 0, 1, 0 }, new float[] { 0, 0, 1 },
                        new float[] { 0.75f, 0.5f, 0.25f, 0.125f });
            s.AddPointLight("bulb", 800f, 1f, 0.5f, 0.25f);
            s.AddLineLight("strip", 400f, 2f, 0.5f);
            AnimationBuilder a = s.BeginAnimation("spin", 0f, 2f, true);
            a.AddFrame(0, new double[] { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1 });
            a.SetFolder("motion");
            a.End();
            Expect<ArgumentException>(() => s.AddMesh("bad", new float[] { 0, 0 }, new int[0]), "vertices not in triples");
            Expect<ArgumentException>(() => s.Transform(new double[3]), "short matrix");
        }
        Check(meshId == 1 && nurbsId == 2, "object ids " + meshId + ", " + nurbsId);
        string text = File.ReadAllText(path, Encoding.UTF8);
        string[] expected = {
            "\"import_up_vector\" 2,", "\"meter_scale\" 0.5,", HexName(MeshName), "\"group one\"",
            "\"vertices\" [ 0 0 0,1 0 0,0 1 0 ]", "\"triangles\" [ 0,1,2 ]", "\"copy\"", "\"patch\"",
            "\"red plastic\"", "wood.png", "\"bulb\"", "\"strip\"", "\"spin\"", "motion",
        };
        foreach (string piece in expected) Check(text.Contains(piece), "file lacks " + piece);
        Check(text.StartsWith(FirstLine, StringComparison.Ordinal), "header");
        Check(text.Contains("\"diffuse\" 1 0.25 0,"), "colour not clamped");
        Check(text.Contains("0.75") && text.Contains("0.125"), "camera field of view");

        // Calls on an ended session are refused, not passed on.
        SceneSession ended = SceneSession.OpenFile(Path.Combine(dir, "second.scene"));
        ended.Dispose();
        Expect<ObjectDisposedException>(() => ended.BeginMesh("late"), "call after Dispose");
        string missing = Path.Combine(dir, "no such folder", "x.scene");
        Expect<SceneApiException>(() => SceneSession.OpenFile(missing), "open in a missing folder",
                                  "opening \"" + missing + "\": No such file or directory");

        // A destination that did not receive the whole scene fails its Dispose, as a FileStream
        // fails on its last flush; a second Dispose does nothing.
        SceneSession full = SceneSession.OpenFile("/dev/full");
        full.AddMesh("lost", new float[30000], new int[] { 0, 1, 2 });
        Expect<IOException>(full.Dispose, "full device", "writing \"/dev/full\": No space left on device");
        full.Dispose();
    }

    static void LiveLinkErrors()
    {
        ProbeResult probe = SceneSession.Probe("sel", 1, 99, true);
        Check(!probe.WouldConnect && !probe.HoldsSelector, "probe without any installation");
        Expect<SceneApiException>(() => SceneSession.Connect("sel", 1, 99, true),
                                  "connect without any installation", "Failed to connect. ");
    }

    // Body of a Scene file after its banner line (which holds the build time).
    static byte[] AfterBanner(string path)
    {
        byte[] bytes = File.ReadAllBytes(path);
        int lines = 0, i = 0;
        while (i < bytes.Length && lines < 5) if (bytes[i++] == '\n') lines++;
        return bytes.Skip(i).ToArray();
    }

    static void PerCallVersusBulk(string folder)
    {
        int columns = GridColumns + 1, rows = GridRows + 1;
        float[] xyz = new float[columns * rows * 3];
        for (int r = 0, k = 0; r < rows; r++)
            for (int c = 0; c < columns; c++) { xyz[k++] = c; xyz[k++] = r; xyz[k++] = 0; }
        int[] abc = new int[GridColumns * GridRows * 6];
        for (int r = 0, k = 0; r < GridRows; r++)
            for (int c = 0; c < GridColumns; c++)
            {
                int v = r * columns + c;
                abc[k++] = v; abc[k++] = v + 1; abc[k++] = v + columns;
                abc[k++] = v + 1; abc[k++] = v + columns + 1; abc[k++] = v + columns;
            }
        int triangles = abc.Length / 3, vertices = xyz.Length / 3;
        string perCallPath = Path.Combine(folder, "per-call.scene"), bulkPath = Path.Combine(folder, "bulk.scene");
        double perCallAdd, perCallEnd, bulkAdd, bulkEnd;

        using (SceneSession s = SceneSession.OpenFile(perCallPath))
        {
            Stopwatch w = Stopwatch.StartNew();
            MeshBuilder m = s.BeginMesh("grid");
            for (int i = 0; i < xyz.Length; i += 3) m.AddVertex(xyz[i], xyz[i + 1], xyz[i + 2]);
            for (int i = 0; i < abc.Length; i += 3) m.AddTriangle(abc[i], abc[i + 1], abc[i + 2]);
            perCallAdd = w.Elapsed.TotalMilliseconds;
            w.Restart();
            m.End();
            perCallEnd = w.Elapsed.TotalMilliseconds;
        }
        using (SceneSession s = SceneSession.OpenFile(bulkPath))
        {
            Stopwatch w = Stopwatch.StartNew();
            MeshBuilder m = s.BeginMesh("grid");
            m.AddVertices(xyz);
            m.AddTriangles(abc);
            bulkAdd = w.Elapsed.TotalMilliseconds;
            w.Restart();
            m.End();
            bulkEnd = w.Elapsed.TotalMilliseconds;
        }
        Check(AfterBanner(perCallPath).SequenceEqual(AfterBanner(bulkPath)), "per-call and bulk files differ");
        Console.WriteLine("mesh of {0:N0} triangles, {1:N0} vertices (mono {2})", triangles, vertices,
                          Environment.Version);
        Console.WriteLine("  per call: adds {0,9:F1} ms ({1:F1} ns per call), endTriangleObject {2,8:F1} ms",
                          perCallAdd, perCallAdd * 1e6 / (triangles + vertices), perCallEnd);
        Console.WriteLine("  bulk:     adds {0,9:F1} ms, endTriangleObject {1,8:F1} ms; adds {2:F0}x faster",
                          bulkAdd, bulkEnd, perCallAdd / bulkAdd);
        File.Delete(perCallPath);
        File.Delete(bulkPath);
    }

    static int Main(string[] args)
    {
        string folder = args.Length > 0 ? args[0] : Path.GetTempPath();
        Directory.CreateDirectory(folder);
        Check(SceneSession.Version == "1.7", "version " + SceneSession.Version);
        AllEntryPointsResolve();
        WholeScene(folder);
        LiveLinkErrors();
        if (Environment.GetEnvironmentVariable("SCENEAPI_SKIP_BENCH") == null) PerCallVersusBulk(folder);
        else Console.WriteLine("per-call versus bulk: not measured in this build");
        Console.WriteLine(failures == 0 ? "binding test: all checks passed" : "binding test: " + failures + " failed");
        return failures == 0 ? 0 : 1;
    }
}
