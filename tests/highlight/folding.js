}
function f() {
    if (a) {
        b();
    } else {
        c();
    }else{
    x = {x
}
}
function g() { return 1; }
} else {
}
