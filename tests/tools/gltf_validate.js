// Validates glTF files with the Khronos glTF-Validator: node gltf_validate.js MODULE_DIR FILE...
// Prints "FILE: E errors, W warnings" and the errors; exits 1 when a file has an error.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require(path.resolve(process.argv[2], 'node_modules', 'gltf-validator'));

async function check(file) {
    const bytes = new Uint8Array(fs.readFileSync(file));
    const report = await validator.validateBytes(bytes, {
        uri: path.basename(file),
        maxIssues: 50,
        externalResourceFunction: (uri) => new Promise((resolve, reject) => {
            const where = path.resolve(path.dirname(file), decodeURIComponent(uri));
            fs.readFile(where, (err, data) => err ? reject(err.toString()) : resolve(new Uint8Array(data)));
        }),
    });
    const n = report.issues;
    console.log(`${file}: ${n.numErrors} errors, ${n.numWarnings} warnings`);
    for (const m of n.messages)
        if (m.severity === 0) console.log(`  ${m.code} ${m.pointer || ''}: ${m.message}`);
    return n.numErrors;
}

(async () => {
    let errors = 0;
    for (const file of process.argv.slice(3)) {
        try {
            errors += await check(file);
        } catch (e) {
            console.log(`${file}: cannot validate: ${e}`);
            errors += 1;
        }
    }
    process.exit(errors > 0 ? 1 : 0);
})();
