// The viewer page: draws scene.glb with three.js, lists what summary.json and the drawn scene
// hold, and loads the scene again whenever state.json names a new version.
//
// window.sceneViewer tells scripts (and the tests) what is shown:
//   ready      true once the current version is drawn
//   version    the version drawn (0: none yet)
//   name       the file name
//   meshes     meshes drawn (one per placed object)
//   triangles  triangles of the distinct meshes as the file holds them: a mesh placed twice
//              counts once, surfaces tessellated for the view not at all (as sceneapi-info)
//   drawnTriangles, tessellatedTriangles  triangles over all placements; of NURBS surfaces
//   materials  distinct materials drawn
//   camera     "scene" (the file's own camera), "framed" (its bounding box) or "none"
//   error      why the scene is not shown, or null
//   selected   {kind, name} of the list entry selected, or null
//   renders    frames drawn so far
(function () {
  'use strict';

  const POLL_MS = 1000;
  const token = new URLSearchParams(window.location.search).get('token') || '';
  // A 1x1 grey image standing in for textures the scene names but the viewer does not serve.
  const PLACEHOLDER_IMAGE =
    'data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGPYsmULAAQ8Ah36QelnAAAAAElFTkSuQmCC';

  const viewer = (window.sceneViewer = {
    ready: false, version: 0, name: '', meshes: 0, triangles: 0, materials: 0,
    camera: 'none', error: null, selected: null, renders: 0,
  });

  function withToken(path) {
    return path + (path.indexOf('?') < 0 ? '?' : '&') + 'token=' + encodeURIComponent(token);
  }
  function el(id) { return document.getElementById(id); }
  function setStatus(text, isError) {
    const s = el('status');
    s.textContent = text || '';
    s.className = isError ? 'error' : '';
  }

  // --- Renderer, camera, controls ---------------------------------------------------------
  const holder = el('view');
  const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.outputEncoding = THREE.sRGBEncoding;
  holder.appendChild(renderer.domElement);

  const world = new THREE.Scene();
  world.background = new THREE.Color(0x3a3f47);
  world.add(new THREE.HemisphereLight(0xffffff, 0x444450, 0.9));
  let camera = new THREE.PerspectiveCamera(50, 1, 0.01, 1000);
  const headlight = new THREE.DirectionalLight(0xffffff, 0.8);
  headlight.position.set(0.3, 0.6, 1);
  camera.add(headlight);
  world.add(camera);
  let controls = null;
  let home = null; // the camera as the scene gave it, for "Reset view"
  let root = null; // the loaded scene
  let helpers = [];
  let highlighted = [];
  let sceneRadius = 1;

  function makeControls() {
    if (controls) controls.dispose();
    controls = new THREE.OrbitControls(camera, renderer.domElement);
    controls.enableDamping = false;
    controls.addEventListener('change', render);
  }

  function size() {
    const w = Math.max(1, holder.clientWidth);
    const h = Math.max(1, holder.clientHeight);
    renderer.setSize(w, h, false);
    const aspect = w / h;
    if (camera.isPerspectiveCamera) {
      camera.aspect = aspect;
    } else {
      const half = (camera.top - camera.bottom) / 2;
      camera.left = -half * aspect;
      camera.right = half * aspect;
    }
    camera.updateProjectionMatrix();
  }

  let framePending = false;
  function render() {
    if (framePending) return;
    framePending = true;
    window.requestAnimationFrame(function () {
      framePending = false;
      renderer.render(world, camera);
      viewer.renders += 1;
    });
  }

  if (window.ResizeObserver) {
    new ResizeObserver(function () { size(); render(); }).observe(holder);
  } else {
    window.addEventListener('resize', function () { size(); render(); });
  }

  // --- Placing the camera -----------------------------------------------------------------
  function bounds(object) {
    const box = new THREE.Box3();
    object.traverse(function (o) {
      if (o.isMesh && o.visible) box.expandByObject(o);
    });
    return box;
  }

  // Swaps in a camera of the kind given and puts controls on it.
  function useCamera(next) {
    camera.remove(headlight);
    world.remove(camera);
    camera = next;
    camera.add(headlight);
    world.add(camera);
    makeControls();
    size();
  }

  // Looks through the scene's own camera, orbiting a point in front of it.
  function placeAtSceneCamera(source, box) {
    source.updateMatrixWorld(true);
    const position = new THREE.Vector3();
    const quaternion = new THREE.Quaternion();
    const scale = new THREE.Vector3();
    source.matrixWorld.decompose(position, quaternion, scale);
    const direction = new THREE.Vector3(0, 0, -1).applyQuaternion(quaternion).normalize();
    const up = new THREE.Vector3(0, 1, 0).applyQuaternion(quaternion).normalize();
    const center = box.isEmpty() ? position.clone().add(direction) : box.getCenter(new THREE.Vector3());
    const reach = box.isEmpty() ? 10 : position.distanceTo(center) + sceneRadius * 4;
    let distance = center.clone().sub(position).dot(direction);
    if (!(distance > sceneRadius * 0.05)) distance = Math.max(sceneRadius, 1e-3);
    let next;
    if (source.isOrthographicCamera) {
      next = new THREE.OrthographicCamera(source.left, source.right, source.top, source.bottom,
                                          0.001, 1);
    } else {
      next = new THREE.PerspectiveCamera(source.fov, 1, 0.001, 1);
    }
    const near = source.near > 0 && source.near < reach ? source.near : reach / 10000;
    const far = source.far > near && source.far < 1e6 ? source.far : reach * 2 + 10;
    next.near = near;
    next.far = far;
    next.up.copy(up);
    next.position.copy(position);
    useCamera(next);
    controls.target.copy(position).addScaledVector(direction, distance);
    camera.lookAt(controls.target);
    controls.update();
    viewer.camera = 'scene';
  }

  // Frames the bounding box from above and in front.
  function placeFramed(box) {
    const next = new THREE.PerspectiveCamera(45, 1, 0.01, 1000);
    const center = box.isEmpty() ? new THREE.Vector3() : box.getCenter(new THREE.Vector3());
    const distance = sceneRadius / Math.sin(THREE.MathUtils ? THREE.MathUtils.degToRad(22.5) : Math.PI / 8);
    next.near = Math.max(distance / 1000, 1e-4);
    next.far = distance * 10 + sceneRadius * 4;
    next.position.copy(center).add(new THREE.Vector3(0.6, 0.45, 1).normalize().multiplyScalar(distance));
    useCamera(next);
    controls.target.copy(center);
    camera.lookAt(center);
    controls.update();
    viewer.camera = 'framed';
  }

  function placeCamera() {
    const box = root ? bounds(root) : new THREE.Box3();
    sceneRadius = box.isEmpty() ? 1 : Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-3);
    let source = null;
    if (root) root.traverse(function (o) { if (!source && o.isCamera) source = o; });
    if (source) placeAtSceneCamera(source, box); else placeFramed(box);
    home = { camera: camera.clone(), target: controls.target.clone() };
    render();
  }

  el('frame-all').addEventListener('click', function () {
    placeFramed(root ? bounds(root) : new THREE.Box3());
    render();
  });

  el('reset-view').addEventListener('click', function () {
    if (!home) return;
    if (home.camera.type !== camera.type) useCamera(home.camera.clone());
    camera.position.copy(home.camera.position);
    camera.quaternion.copy(home.camera.quaternion);
    camera.zoom = home.camera.zoom;
    camera.updateProjectionMatrix();
    controls.target.copy(home.target);
    controls.update();
    render();
  });

  // --- Side panel and selection -----------------------------------------------------------
  function clearSelection() {
    helpers.forEach(function (h) { world.remove(h); if (h.dispose) h.dispose(); });
    helpers = [];
    highlighted.forEach(function (m) { m.emissive.copy(m.userData.viewerEmissive); });
    highlighted = [];
    document.querySelectorAll('ul.pick li.selected').forEach(function (li) {
      li.classList.remove('selected');
    });
    viewer.selected = null;
  }

  function highlightMaterial(material) {
    if (!material.emissive) return;
    material.userData.viewerEmissive = material.emissive.clone();
    material.emissive.setHex(0x6a4300);
    highlighted.push(material);
  }

  function select(kind, entry, li) {
    clearSelection();
    li.classList.add('selected');
    viewer.selected = { kind: kind, name: entry.name };
    if (kind === 'light') {
      const helper = new THREE.PointLightHelper(entry.object, sceneRadius * 0.05, 0xffcc33);
      helpers.push(helper);
    } else if (kind === 'material') {
      entry.meshes.slice(0, 500).forEach(function (m) {
        helpers.push(new THREE.BoxHelper(m, 0xffaa00));
      });
      highlightMaterial(entry.object);
    } else {
      helpers.push(new THREE.BoxHelper(entry.object, 0xffaa00));
      entry.object.traverse(function (o) {
        if (!o.isMesh) return;
        (Array.isArray(o.material) ? o.material : [o.material]).forEach(function (m) {
          if (highlighted.indexOf(m) < 0) highlightMaterial(m);
        });
      });
    }
    helpers.forEach(function (h) { world.add(h); });
    render();
  }

  function fillList(id, kind, entries, describe) {
    const list = el(id);
    list.textContent = '';
    el(id + '-count').textContent = '(' + entries.length + ')';
    entries.forEach(function (entry) {
      const li = document.createElement('li');
      li.textContent = entry.name || '(unnamed)';
      const extra = describe ? describe(entry) : '';
      if (extra) {
        const span = document.createElement('span');
        span.className = 'kind';
        span.textContent = extra;
        li.appendChild(span);
      }
      li.title = li.textContent;
      li.addEventListener('click', function () {
        if (li.classList.contains('selected')) { clearSelection(); render(); } else select(kind, entry, li);
      });
      entry.item = li;
      li.entry = entry;
      list.appendChild(li);
    });
  }

  function sum(map) {
    let n = 0;
    Object.keys(map || {}).forEach(function (k) { n += map[k]; });
    return n;
  }

  function fillCounts(summary) {
    const rows = [
      ['Placed objects', summary.objects],
      ['Definitions', summary.definitions],
      ['Instances', summary.instances],
      ['Triangles', summary.triangles],
      ['Vertices', summary.vertices],
      ['NURBS surfaces', summary.nurbs_surfaces],
      ['Materials', sum(summary.materials)],
      ['Lights', sum(summary.lights)],
      ['Cameras', summary.cameras],
      ['Animations', summary.animations],
      ['Meshes drawn', viewer.meshes],
      ['Triangles drawn', viewer.drawnTriangles],
      ['of them NURBS', viewer.tessellatedTriangles],
      ['File size', summary.bytes !== undefined ? summary.bytes + ' bytes' : undefined],
    ];
    const table = el('counts');
    table.textContent = '';
    rows.forEach(function (row) {
      if (row[1] === undefined) return;
      const tr = document.createElement('tr');
      const a = document.createElement('td');
      const b = document.createElement('td');
      a.textContent = row[0];
      b.textContent = String(row[1]);
      tr.appendChild(a);
      tr.appendChild(b);
      table.appendChild(tr);
    });
  }

  function fillFindings(summary) {
    const list = el('findings');
    list.textContent = '';
    const items = [];
    (summary.findings || []).forEach(function (f) {
      items.push([f.severity, 'line ' + f.line + ':' + f.column + ': ' + f.message]);
    });
    if (summary.unlisted_findings) items.push(['warning', summary.unlisted_findings + ' more not listed']);
    (summary.errors || []).forEach(function (e) {
      if (e.file !== undefined) items.push(['error', (e.line ? 'line ' + e.line + ':' + e.column + ': ' : '') + e.message]);
    });
    if (items.length === 0) items.push(['none', 'none: the checks found nothing']);
    items.forEach(function (it) {
      const li = document.createElement('li');
      li.className = it[0];
      li.textContent = it[1];
      list.appendChild(li);
    });
  }

  function fillWarnings(state, missing) {
    const list = el('warnings');
    list.textContent = '';
    const items = (state.warnings || []).slice();
    missing.forEach(function (uri) { items.push('texture not shown (grey instead): ' + uri); });
    if (items.length === 0) items.push('nothing dropped');
    items.forEach(function (text) {
      const li = document.createElement('li');
      li.className = text === 'nothing dropped' ? 'none' : 'warning';
      li.textContent = text;
      list.appendChild(li);
    });
  }

  // Gathers what the drawn scene holds, for the lists and window.sceneViewer.
  function gather(scene, tessellatedNames) {
    const objects = [];
    const groups = [];
    const lights = [];
    const materials = new Map();
    const geometries = new Map(); // uuid -> {triangles, tessellated}
    let drawn = 0;
    let tessellated = 0;
    scene.traverse(function (o) {
      if (o.isMesh) {
        const g = o.geometry;
        const count = Math.floor((g.index ? g.index.count : (g.attributes.position ? g.attributes.position.count : 0)) / 3);
        const fromNurbs = tessellatedNames.has(nameOf(o));
        drawn += count;
        if (fromNurbs) tessellated += count;
        if (!geometries.has(g.uuid)) geometries.set(g.uuid, { triangles: count, tessellated: fromNurbs });
        objects.push({ name: nameOf(o), object: o, triangles: count });
        (Array.isArray(o.material) ? o.material : [o.material]).forEach(function (m) {
          if (!materials.has(m.uuid)) materials.set(m.uuid, { name: m.name, object: m, meshes: [] });
          materials.get(m.uuid).meshes.push(o);
        });
      } else if (o.isLight) {
        lights.push({ name: nameOf(o) || (o.parent && nameOf(o.parent)) || '', object: o });
      } else if (o !== scene && !o.isCamera && o.children.some(function (c) { return !c.isLight && !c.isCamera; })) {
        groups.push({ name: nameOf(o), object: o });
      }
    });
    let triangles = 0;
    geometries.forEach(function (g) { if (!g.tessellated) triangles += g.triangles; });
    return { objects: objects, groups: groups, lights: lights, materials: Array.from(materials.values()),
             triangles: triangles, drawnTriangles: drawn, tessellatedTriangles: tessellated };
  }

  // The name as the file gives it (three.js makes node names safe for animation paths).
  function nameOf(o) {
    return (o.userData && typeof o.userData.name === 'string') ? o.userData.name : o.name;
  }

  // --- Loading ----------------------------------------------------------------------------
  function fetchJson(path) {
    return fetch(withToken(path), { cache: 'no-store' }).then(function (r) {
      if (!r.ok) throw new Error(path + ': HTTP ' + r.status);
      return r.json();
    });
  }

  function loadGlb(missing) {
    const manager = new THREE.LoadingManager();
    manager.setURLModifier(function (url) {
      if (/^(blob:|data:)/.test(url)) return url;
      if (/(^|\/)scene\.glb(\?|$)/.test(url)) return url;
      missing.push(decodeURIComponent(url.replace(/^.*\/\/[^/]*\//, '')));
      return PLACEHOLDER_IMAGE;
    });
    const loader = new THREE.GLTFLoader(manager);
    return new Promise(function (resolve, reject) {
      loader.load(withToken('scene.glb'), resolve, undefined, function (e) {
        reject(e instanceof Error ? e : new Error(String(e && e.message ? e.message : e)));
      });
    });
  }

  function show(state, summary, gltf, missing) {
    clearSelection();
    if (root) world.remove(root);
    root = gltf ? gltf.scene : null;
    let found = { objects: [], groups: [], lights: [], materials: [], triangles: 0, drawnTriangles: 0, tessellatedTriangles: 0 };
    if (root) {
      world.add(root);
      found = gather(root, new Set(state.tessellated_objects || []));
      // The scene's lights are listed and marked, not lit: the viewer lights the scene evenly.
      found.lights.forEach(function (l) { l.object.visible = false; });
    }
    viewer.name = state.name;
    viewer.meshes = found.objects.length;
    viewer.triangles = found.triangles;
    viewer.drawnTriangles = found.drawnTriangles;
    viewer.tessellatedTriangles = found.tessellatedTriangles;
    viewer.materials = found.materials.length;
    viewer.objects = found.objects.map(function (o) { return o.name; });
    viewer.groups = found.groups.map(function (o) { return o.name; });
    viewer.lightNames = found.lights.map(function (o) { return o.name; });
    viewer.materialNames = found.materials.map(function (o) { return o.name; });
    viewer.findings = (summary.findings || []).length;
    el('file-name').textContent = state.name || 'sceneapi-view';
    document.title = (state.name ? state.name + ' — ' : '') + 'sceneapi-view';
    fillCounts(summary);
    fillFindings(summary);
    fillWarnings(state, missing);
    fillList('objects', 'object', found.objects, function (o) { return o.triangles + ' tri'; });
    fillList('groups', 'group', found.groups, function (g) { return g.object.children.length + ' inside'; });
    fillList('materials', 'material', found.materials, function (m) {
      return (m.object.userData && m.object.userData.kind) || '';
    });
    fillList('lights', 'light', found.lights, function (l) { return l.object.type.replace(/Light$/, '').toLowerCase(); });
    placeCamera();
  }

  let shown = 0;
  let loading = false;

  function refresh() {
    if (loading) return Promise.resolve();
    loading = true;
    return fetchJson('state.json').then(function (state) {
      if (state.version === 0) {
        setStatus('Waiting for a scene…', false);
        return;
      }
      if (state.version === shown) {
        if (viewer.error === null || state.ok) setStatus(state.ok ? '' : state.name + ': ' + state.error, !state.ok);
        return;
      }
      viewer.ready = false;
      setStatus('Loading ' + state.name + '…', false);
      return fetchJson('summary.json').then(function (summary) {
        const missing = [];
        const drawn = state.ok ? loadGlb(missing) : Promise.resolve(null);
        return drawn.then(function (gltf) {
          show(state, summary, gltf, missing);
          shown = state.version;
          viewer.version = state.version;
          viewer.error = state.ok ? null : state.error;
          setStatus(state.ok ? '' : state.name + ': ' + state.error, !state.ok);
          // Ready once the frame of this version has been drawn.
          const renders = viewer.renders;
          (function wait() {
            if (viewer.renders > renders) { viewer.ready = true; return; }
            render();
            window.requestAnimationFrame(wait);
          })();
        });
      });
    }).catch(function (e) {
      viewer.error = e.message || String(e);
      setStatus('Cannot show the scene: ' + viewer.error, true);
    }).then(function () { loading = false; });
  }

  // Click in the view: selects the object under the pointer.
  const raycaster = new THREE.Raycaster();
  let pressed = null;
  renderer.domElement.addEventListener('pointerdown', function (e) { pressed = [e.clientX, e.clientY]; });
  renderer.domElement.addEventListener('pointerup', function (e) {
    if (!pressed || !root || Math.abs(e.clientX - pressed[0]) + Math.abs(e.clientY - pressed[1]) > 4) return;
    const rect = renderer.domElement.getBoundingClientRect();
    const pointer = new THREE.Vector2(((e.clientX - rect.left) / rect.width) * 2 - 1,
                                      -((e.clientY - rect.top) / rect.height) * 2 + 1);
    raycaster.setFromCamera(pointer, camera);
    const hit = raycaster.intersectObject(root, true).filter(function (h) { return h.object.isMesh; })[0];
    if (!hit) { clearSelection(); render(); return; }
    const items = el('objects').children;
    for (let i = 0; i < items.length; ++i) {
      if (items[i].entry.object === hit.object) { select('object', items[i].entry, items[i]); items[i].scrollIntoView({ block: 'nearest' }); return; }
    }
  });

  makeControls();
  size();
  render();
  (function poll() {
    refresh().then(function () { window.setTimeout(poll, POLL_MS); });
  })();
})();
