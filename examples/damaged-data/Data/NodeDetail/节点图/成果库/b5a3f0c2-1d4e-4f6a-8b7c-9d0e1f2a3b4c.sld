slide b5a3f0c2-1d4e-4f6a-8b7c-9d0e1f2a3b4c
