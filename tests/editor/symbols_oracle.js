// The symbols acorn finds in a script, one "line<TAB>name" a line, for the index's test to compare
// with ours, each script's after a line "= <script.js>". Usage: node symbols_oracle.js <acorn.js> <script.js>...
"use strict";
const fs = require("fs");
const acorn = require(process.argv[2]);

const isBound = (node) =>
    node && ["FunctionExpression", "ArrowFunctionExpression", "ClassExpression"].includes(node.type);
// The name a key or assignment target gives, with where it starts; null when it gives none.
function nameOf(node, computed) {
    if (!node) return null;
    if (computed) return node.type === "Literal" && typeof node.value === "string" ? { name: node.value, loc: node.loc } : null;
    if (node.type === "Identifier") return node;
    if (node.type === "PrivateIdentifier") return { name: "#" + node.name, loc: node.loc };
    if (node.type === "Literal" && typeof node.value === "string") return { name: node.value, loc: node.loc };
    if (node.type === "MemberExpression") return nameOf(node.property, node.computed);
    return null;
}

let out = [];
const add = (named) => named && out.push(named.loc.start.line + "\t" + named.name);
function walk(node) {
    if (!node || typeof node.type !== "string") return;
    switch (node.type) {
    case "FunctionDeclaration":
    case "ClassDeclaration":
        add(node.id);
        break;
    case "MethodDefinition":
        add(nameOf(node.key, node.computed));
        break;
    case "VariableDeclarator":
        if (isBound(node.init)) add(nameOf(node.id, false));
        break;
    case "AssignmentExpression":
        if (isBound(node.right)) add(nameOf(node.left, false));
        break;
    case "Property":
        if (isBound(node.value)) add(nameOf(node.key, node.computed));
        break;
    }
    for (const key of Object.keys(node)) {
        const value = node[key];
        if (Array.isArray(value)) value.forEach(walk);
        else if (value && typeof value.type === "string") walk(value);
    }
}
for (const script of process.argv.slice(3)) {
    out = ["= " + script];
    walk(acorn.parse(fs.readFileSync(script, "utf8"), { ecmaVersion: "latest", sourceType: "script", locations: true }));
    process.stdout.write(out.join("\n") + "\n");
}
