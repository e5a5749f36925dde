abcdef0123
second
